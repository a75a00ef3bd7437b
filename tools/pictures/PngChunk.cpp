#include "PngChunk.h"

#include <QtEndian>
#include <array>

namespace {
const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
} // namespace

QByteArray PngChunk::bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray PngChunk::encoded() const
{
    const QByteArray covered = chunkType + chunkData;
    return bigEndian(quint32(chunkData.size())) + covered + bigEndian(crc32(covered));
}

QList<PngChunk> PngChunk::parsePng(const QByteArray &file)
{
    QList<PngChunk> chunks;
    if (!file.startsWith(pngSignature))
        return {};
    qsizetype at = pngSignature.size();
    while (at + 12 <= file.size()) {
        const quint32 length = qFromBigEndian<quint32>(file.constData() + at);
        if (length > quint32(file.size() - at - 12))
            return {};
        const QByteArray covered = file.mid(at + 4, 4 + length);
        const quint32 crc = qFromBigEndian<quint32>(file.constData() + at + 8 + length);
        if (crc != crc32(covered))
            return {};
        chunks.append(PngChunk(covered.left(4), covered.mid(4)));
        at += 12 + length;
    }
    if (at != file.size() || chunks.isEmpty() || chunks.last().type() != "IEND")
        return {};
    return chunks;
}

quint32 PngChunk::crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xffffffffu;
    for (char byte : bytes)
        crc = table[(crc ^ quint8(byte)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}
