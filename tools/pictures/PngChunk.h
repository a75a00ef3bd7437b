#pragma once

#include <QByteArray>
#include <QList>

// One chunk of the PNG family of formats (PNG and MNG share the framing:
// length, four-letter type, data, CRC-32 over type and data).
class PngChunk
{
public:
    PngChunk(const QByteArray &type, const QByteArray &data) : chunkType(type), chunkData(data) {}

    QByteArray type() const { return chunkType; }
    QByteArray data() const { return chunkData; }
    QByteArray encoded() const;

    // The chunks of a complete PNG file; empty when the signature or any
    // length or CRC is wrong.
    static QList<PngChunk> parsePng(const QByteArray &file);
    static quint32 crc32(const QByteArray &bytes);
    // The four-byte network order every length and field of the family uses.
    static QByteArray bigEndian(quint32 value);

private:
    QByteArray chunkType;
    QByteArray chunkData;
};
