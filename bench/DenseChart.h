#pragma once
// A chart that keeps all four lanes full, for measuring the window at its
// busiest: one note a lane every 1025 ms, so a lane's oldest arrow retires a
// tick or two before its next one arrives, and lanes 50 ms apart since a tick
// starts one arrow at most. 299 notes, the most a chart plays: 77 s.

#include <QByteArray>
#include <QString>

inline QByteArray denseChart(const QString& audioFile)
{
    QByteArray text = "dense " + audioFile.toUtf8() + "\n";
    int notes = 0;
    for (int round = 0; notes < 299; ++round)
        for (int lane = 1; lane <= 4 && notes < 299; ++lane, ++notes)
            text += QByteArray::number(lane) + " " + QByteArray::number(1000 + round * 1025 + (lane - 1) * 50) + "\n";
    return text + "0 0\n";
}
