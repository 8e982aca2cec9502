#pragma once
// Shared by the examples: shows the window and runs the event loop. With --offscreen-once
// (CI, under QT_QPA_PLATFORM=offscreen) it paints the window once and exits instead,
// failing when nothing but a blank window was painted.
#include <QApplication>
#include <QImage>
#include <QSet>
#include <QWidget>

inline int runExample(QApplication& app, QWidget& window)
{
    window.show();
    if (!app.arguments().contains(QStringLiteral("--offscreen-once")))
        return app.exec();
    QApplication::processEvents();
    const QImage image = window.grab().toImage();
    QSet<QRgb> colours; // a blank window has a colour or two; rows of text have many
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    return colours.size() > 16 ? 0 : 1;
}
