#pragma once
// How the text windows turn text into bytes and bytes into text.
//
// Text to bytes: UTF-8, with every line break written as CR LF, the line
// separator of the encrypted text format.
//
// Bytes to text: every valid UTF-8 sequence is read as UTF-8; every other byte
// (an 8-bit text from another program, a wrong password's output, a binary
// file) is shown as the Latin-1 character of the same value. Nothing is
// dropped and one bad byte does not spoil the rest of the text.

#include <QByteArrayView>
#include <QString>

#include <string>
#include <string_view>

namespace ciphra::gui {

QString TextFromBytes(QByteArrayView bytes);

// The bytes of the work text: UTF-8, line breaks as CR LF.
std::string WorkTextBytes(const QString& text);

// Overwrites the text's characters when the string is their only holder (a
// shared buffer is left to its other holders), then empties the string.
void WipeText(QString& text);

// Decrypted bytes as work text: the bytes up to the first zero byte, read by
// TextFromBytes. CR LF, LF and CR all read as line breaks in the text box.
QString WorkTextFromBytes(std::string_view bytes);

} // namespace ciphra::gui
