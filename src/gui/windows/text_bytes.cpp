#include "gui/windows/text_bytes.h"

#include "core/crypto/wipe.h"

#include <QStringDecoder>

namespace ciphra::gui {
namespace {

// Length of the valid UTF-8 sequence starting at bytes[i], or 0 when there is
// none (stray continuation byte, overlong form, surrogate, beyond U+10FFFF,
// cut short).
qsizetype Utf8SequenceAt(QByteArrayView bytes, qsizetype i, char32_t& codePoint)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (qsizetype k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate)
        return 0;
    return length;
}

QString MixedText(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        char32_t codePoint = 0;
        if (lead < 0x80) {
            text.append(QChar(lead));
            ++i;
        } else if (const qsizetype length = Utf8SequenceAt(bytes, i, codePoint)) {
            text.append(QString::fromUcs4(&codePoint, 1));
            i += length;
        } else {
            text.append(QChar(lead)); // the Latin-1 character of the byte
            ++i;
        }
    }
    return text;
}

} // namespace

QString TextFromBytes(QByteArrayView bytes)
{
    // Most texts are valid UTF-8: let the fast decoder take them whole. A
    // leading byte order mark is content here and stays.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    WipeText(text);
    return MixedText(bytes);
}

std::string WorkTextBytes(const QString& text)
{
    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QByteArray utf8 = crlf.toUtf8();
    WipeText(crlf);
    std::string bytes(utf8.constData(), std::size_t(utf8.size()));
    SecureWipe(utf8.data(), std::size_t(utf8.size())); // never shared: no detach
    return bytes;
}

void WipeText(QString& text)
{
    if (text.isDetached()) {
        SecureWipe(text.data(), std::size_t(text.size()) * sizeof(QChar));
    }
    text.clear();
}

QString WorkTextFromBytes(std::string_view bytes)
{
    return TextFromBytes(QByteArrayView(bytes.substr(0, bytes.find('\0'))));
}

} // namespace ciphra::gui
