#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Builds a looping MNG animation from equally timed frames. Each frame is
// stored as an embedded PNG datastream; every frame starts from a cleared
// background, so transparent frames do not pile up on one another.
class MngWriter
{
public:
    explicit MngWriter(int frameDelayMs) : delayMs(frameDelayMs) {}

    void addFrame(const QImage &frame) { frames.append(frame); }
    // Empty when there are no frames, their sizes differ or encoding fails.
    QByteArray encode() const;

private:
    QByteArray header(const QSize &size) const;
    QByteArray loopForever() const;
    QByteArray framing() const;
    static QByteArray embeddedPng(const QImage &frame);

    int delayMs;
    QList<QImage> frames;
};
