#include "choice_lists.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <optional>

namespace {

// The line edit of an editable box emits its own signals; both are quiet during a program change.
class QuietChange {
public:
    explicit QuietChange(QComboBox* combo)
        : m_combo(combo),
          m_edit(combo->lineEdit() ? std::optional<QSignalBlocker>(combo->lineEdit()) : std::nullopt) {}

private:
    QSignalBlocker m_combo;
    std::optional<QSignalBlocker> m_edit;
};

} // namespace

QStringList unit_names(int language) {
    if (language == 1)
        return {QStringLiteral("liter"), QStringLiteral("decaliter")};
    return {QStringLiteral("litri"), QStringLiteral("decalitri")};
}

QStringList relay_function_names(int language) {
    if (language == 1)
        return {QStringLiteral("Not used"),     QStringLiteral("probe disconnected"),
                QStringLiteral("High"),         QStringLiteral("Low"),
                QStringLiteral("Out of range"), QStringLiteral("Probe"),
                QStringLiteral("Very High"),    QStringLiteral("Very Low"),
                QStringLiteral("Link"),         QStringLiteral("--"),
                QStringLiteral("Water")};
    return {QStringLiteral("Non Attivato"),  QStringLiteral("Sonda scollegata"),
            QStringLiteral("Alto"),          QStringLiteral("Basso"),
            QStringLiteral("Fuori scala"),   QStringLiteral("Sensore"),
            QStringLiteral("Altissimo"),     QStringLiteral("Bassissimo"),
            QStringLiteral("Comunicazione"), QStringLiteral("--"),
            QStringLiteral("Acqua")};
}

QStringList product_names() {
    return {
        QStringLiteral("LPG - Propane (0,510  -  0,00290)"),
        QStringLiteral("LPG - Butane (0,580  -  0,00200)"),
        QStringLiteral("Aviation Gasoline (0,695  -  0,00120)"),
        QStringLiteral("Petrol (0,740  -  0,00110)"),
        QStringLiteral("Aviation Jet A-1 (0,795  -  0,00094)"),
        QStringLiteral("Lighting Kerosene (0,790  -  0,00094)"),
        QStringLiteral("Power Kerosene (0,810  -  0,00087)"),
        QStringLiteral("Heating Oil (0,820  -  0,00087)"),
        QStringLiteral("Automotive Distillate (0,840  -  0,00084)"),
        QStringLiteral("Industrial diesel fuel (0,855  -  0,00082)"),
        QStringLiteral("Fuel Oil: High Sulphur (0,980  -  0,00070)"),
        QStringLiteral("Fuel OilL Low Sulphur (0,900  -  0,00075)"),
        QStringLiteral("Bitumen (1,020  -  0,00063)"),
        QStringLiteral("Crude Oil (Bass Strait) (0,796  -  0,00087)"),
        QStringLiteral("Benzene (0,880  -  0,00120)"),
        QStringLiteral("Toluene (0,870  -  0,00110)"),
        QStringLiteral("Xylene (0,860  -  0,00100)"),
        QStringLiteral("White Spirit (0,780  -  0,00095)"),
        QStringLiteral("Mineral Turpentine (0,820  -  0,00087)"),
        QStringLiteral("Lube Oils SAE 10 (0,880  -  0,00077)"),
        QStringLiteral("Lube Oils SAE 20  (0,890  -  0,00076)"),
        QStringLiteral("Lube Oils SAE 30  (0,890  -  0,00076)"),
        QStringLiteral("Lube Oils SAE 40  (0,900  -  0,00074)"),
        QStringLiteral("Lube Oils SAE 50  (0,900  -  0,00074)"),
        QStringLiteral("Water (1  -  0,00031)"),
    };
}

void rebuild_list(QComboBox* combo, const QStringList& entries) {
    const QuietChange quiet(combo);
    const QString shown = combo->currentText();
    combo->clear();
    combo->addItems(entries);
    // Adding to an empty box chooses its first entry; the rebuilt list has none chosen.
    combo->setCurrentIndex(-1);
    combo->setEditText(shown);
}

void set_position(QComboBox* combo, qint64 position) {
    const QuietChange quiet(combo);
    const int index = position >= 0 && position < combo->count() ? int(position) : -1;
    combo->setCurrentIndex(index);
    if (index < 0)
        combo->setEditText(QString());
}

void make_editable_list(QComboBox* combo) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Completion would change the text behind the operator's back; the typed text is what counts.
    combo->setCompleter(nullptr);
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo, [combo](const QString& text) {
        const QuietChange quiet(combo);
        const int cursor = combo->lineEdit()->cursorPosition();
        combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        combo->setEditText(text);
        combo->lineEdit()->setCursorPosition(cursor);
    });
}

void on_operator_change(QComboBox* combo, QObject* context, const std::function<void()>& handler) {
    QObject::connect(combo, &QComboBox::textActivated, context, [handler](const QString&) { handler(); });
    // Connected after make_editable_list's own slot, so the handler sees the position of the typed text.
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, context,
                     [handler](const QString&) { handler(); });
}
