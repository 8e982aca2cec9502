#pragma once

#include <QGuiApplication>
#include <QScreen>

/// Rows store heights at 96 DPI; the z models hand them to views at the primary screen's
/// logical DPI. Read afresh on every use: the window may have moved to a screen of another DPI.
/// What a height of 0 or less reads as is each model's own rule, not this one's.
/// Qt 6 always scales for high DPI: a scaled screen reports 96 here, so the scale is 1, as Qt scales the pixels itself.
inline double screenScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}
