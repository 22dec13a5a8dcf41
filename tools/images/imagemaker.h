#pragma once
// Draws every picture the interface loads from "./images/".
#include <QString>
#include <QStringList>

// Writes all pictures into dir (made when missing); returns the files that
// could not be written (empty on success).
QStringList MakeInterfaceImages(const QString& dir);
