#include "gui/editors/SetupItemText.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace {
// The texts of a setup item hold at most this many characters.
constexpr int kMaxItemText = 511;

const QString kDigits = QStringLiteral("0123456789");
const QString kLower = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString kUpper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString kHex = QStringLiteral("0123456789abcdefABCDEF");
// The printable symbols and the space.
const QString kSymbols = QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[]^_{}|~` \\");

struct MaskCharacters {
    uint32_t bit;
    QString characters;
};

// Each listed character once, in first-seen order.
void appendNew(QString& set, const QString& characters) {
    for (const QChar c : characters) {
        if (!set.contains(c)) {
            set.append(c);
        }
    }
}

// Inside a class the point, brackets, caret and backslash are taken literally only when escaped; the
// hyphen too, or "+-." would be read as the range '+'..'.' and let a comma in.
QString escapeForClass(const QString& set) {
    QString escaped;
    for (const QChar c : set) {
        if (QStringLiteral(".[]^\\-").contains(c)) {
            escaped.append(QLatin1Char('\\'));
        }
        escaped.append(c);
    }
    return escaped;
}
} // namespace

SetupItemText::SetupItemText(QWidget* parent) : SetupItemBase(parent), m_edit(new QLineEdit(this)) {
    m_edit->setMaxLength(kMaxItemText);
    addEditorControl(m_edit);
    connect(m_edit, &QLineEdit::textChanged, this, [this] { notifyValueChanged(); });
}

void SetupItemText::setLengthRange(int /*min*/, int max) {
    // A printer that gives no maximum still gets the item's own limit.
    m_edit->setMaxLength(max > 0 ? std::min(max, kMaxItemText) : kMaxItemText);
}

QString SetupItemText::allowedCharacterClass(uint32_t mask) {
    const MaskCharacters table[] = {
        {0x0002, kDigits},
        {0x0004, kLower},
        {0x0008, kUpper},
        {0x0010, kSymbols},
        {0x0080, kHex},
        {0x0100, QStringLiteral("01")},
        {0x0200, kDigits + QStringLiteral(".")},
        {0x0400, kHex + QStringLiteral(":")},
        // Signed numbers: sign and point, with the digits when bit 1 has not brought them.
        {0x1000,
         (mask & 0x0002) != 0 ? QStringLiteral("+-.") : QStringLiteral("+-") + kDigits + QStringLiteral(".")},
    };
    QString set;
    for (const MaskCharacters& entry : table) {
        if ((mask & entry.bit) != 0) {
            appendNew(set, entry.characters);
        }
    }
    if (set.isEmpty()) {
        set = kDigits + kLower + kUpper + kSymbols;
    }
    return escapeForClass(set);
}

void SetupItemText::setDataBitmask(uint32_t mask) {
    m_edit->setEchoMode((mask & 0x0001) != 0 ? QLineEdit::Password : QLineEdit::Normal);
    m_edit->setReadOnly((mask & 0x0800) != 0);
    const QRegularExpression expression(QLatin1Char('[') + allowedCharacterClass(mask) +
                                        QStringLiteral("]+"));
    if (auto* validator =
            qobject_cast<QRegularExpressionValidator*>(const_cast<QValidator*>(m_edit->validator()))) {
        validator->setRegularExpression(expression);
    } else {
        m_edit->setValidator(new QRegularExpressionValidator(expression, m_edit));
    }
}

void SetupItemText::setDescription(const QString& description, const QString& additional) {
    applyDescription(description, additional);
}

void SetupItemText::setBaseValue(const QVariant& value) {
    m_base = value.toString();
    setValue(m_base);
}

void SetupItemText::setValue(const QVariant& value) {
    // textChanged reports the change, and only when the text really changes.
    m_edit->setText(value.toString());
}

QVariant SetupItemText::getValue() const {
    return m_edit->text();
}

bool SetupItemText::isValueChanged() const {
    return m_edit->text() != m_base;
}

void SetupItemText::setDefaultValue(const QVariant& value) {
    m_default = value.toString();
    applyDefaultToolTip(m_default);
}

void SetupItemText::resetToDefault() {
    setValue(m_default);
}

void SetupItemText::resetToBase() {
    setValue(m_base);
}
