#pragma once

#include <QString>
#include <QStringList>

// Record codec: cuts a received record into fields and joins fields into a record to send.
// Inside a field a delimiter is written as the escape character followed by the delimiter.
namespace modStrings {

// Cuts text into fields at any character of delimiters (letters match in either case) and at
// NUL. An escape character right before a delimiter makes the delimiter part of the field.
// Empty pieces between delimiters give no field; with trim, spaces (code 32 only) are removed
// from both ends of each field. Always gives at least one field.
QStringList SplitFields(const QString &text, const QString &delimiters, const QString &escape,
                        bool trim);

// Joins fields with the first character of delimiter (a space when empty), writing every
// delimiter inside a field as escape + delimiter (escape "\" when empty). Each element that held
// the delimiter is rewritten in place with its escaped form. No fields give the empty text.
QString JoinFields(QStringList &fields, const QString &delimiter, const QString &escape);

} // namespace modStrings
