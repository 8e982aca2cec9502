#pragma once

#include <QGuiApplication>
#include <QScreen>

/// Rows store heights at 96 DPI; the z models hand them to views at the primary screen's
/// logical DPI. Read afresh on every use: the window may have moved to a screen of another DPI.
/// What a height of 0 or less reads as is each model's own rule, not this one's.
inline double screenScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}
