#include "MngWriter.h"

#include "PngChunk.h"

#include <QBuffer>

namespace {
const QByteArray mngSignature("\x8aMNG\r\n\x1a\n", 8);
} // namespace

QByteArray MngWriter::encode() const
{
    if (frames.isEmpty())
        return {};
    const QSize size = frames.first().size();
    QByteArray out = mngSignature + header(size) + loopForever() + framing();
    for (const QImage &frame : frames) {
        const QByteArray png = frame.size() == size ? embeddedPng(frame) : QByteArray();
        if (png.isEmpty())
            return {};
        out += png;
    }
    return out + PngChunk("MEND", {}).encoded();
}

// MHDR: size, ticks per second (milliseconds here), then the nominal layer
// count, frame count, play time and simplicity profile, all left unspecified.
QByteArray MngWriter::header(const QSize &size) const
{
    QByteArray data = PngChunk::bigEndian(size.width()) + PngChunk::bigEndian(size.height()) +
                      PngChunk::bigEndian(1000);
    data += PngChunk::bigEndian(0) + PngChunk::bigEndian(0) + PngChunk::bigEndian(0) +
            PngChunk::bigEndian(0);
    return PngChunk("MHDR", data).encoded();
}

// TERM right after MHDR: when the frames run out, start again immediately
// after this chunk, with no end to the repetitions.
QByteArray MngWriter::loopForever() const
{
    QByteArray data;
    data.append(char(3)); // repeat the sequence following TERM
    data.append(char(0)); // after the last iteration: show the last frame
    data += PngChunk::bigEndian(0) + PngChunk::bigEndian(0x7fffffff);
    return PngChunk("TERM", data).encoded();
}

// FRAM in mode 3: a background layer before every frame, and the delay
// applies to each frame; the delay is made the default for all that follow.
QByteArray MngWriter::framing() const
{
    QByteArray data;
    data.append(char(3));
    data.append(char(0)); // empty subframe name, terminated
    data.append(char(2)); // change the interframe delay for all later subframes
    data.append(char(0)); // timeout unchanged
    data.append(char(0)); // clipping unchanged
    data.append(char(0)); // sync ids unchanged
    data += PngChunk::bigEndian(quint32(delayMs));
    return PngChunk("FRAM", data).encoded();
}

// A PNG stream inside MNG carries no signature; only the chunks that
// describe pixels are kept.
QByteArray MngWriter::embeddedPng(const QImage &frame)
{
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    if (!frame.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG"))
        return {};
    QByteArray stream;
    for (const PngChunk &chunk : PngChunk::parsePng(file)) {
        const QByteArray type = chunk.type();
        if (type == "IHDR" || type == "PLTE" || type == "tRNS" || type == "IDAT" || type == "IEND")
            stream += chunk.encoded();
    }
    return stream;
}
