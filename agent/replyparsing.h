#pragma once

#include <QList>
#include <QString>

// Picking elements out of the camera's replies by plain text search. The camera's replies are
// short XML-like texts; these functions deliberately do not parse XML, and their exact results on
// unbalanced text are relied upon.

// The raw content of the first element named tag ("<tag>...</tag>"); empty when the name does not
// occur in the text in any letter case.
QString Helper_ExtractElementValue(const QString &text, const QString &tag);

// The most characters Helper_ExtractElements returns in all: sixteen times the largest reply the
// agent accepts. Only text with unclosed blocks comes near it.
constexpr qsizetype ExtractedBlocksLimit = 16 * 1024 * 1024;

// Every element block named tag, its tags included, in text order. Stops once the blocks reach
// ExtractedBlocksLimit characters in all.
QList<QString> Helper_ExtractElements(const QString &text, const QString &tag);

// True when the dotted version has at least four parts and its first three numbers do not exceed
// 1, 5, 2 in that order.
bool isKnownVersion(const QString &version);
