#include "TextFit.h"

#include "ui/mail/SplitButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocumentFragment>
#include <QTreeWidget>

namespace {

// Room a style leaves between an icon and the text beside it.
const int IconSpacing = 4;

class Report
{
public:
    explicit Report(const QWidget *window) : window(window) {}

    void needs(const QWidget *widget, const QString &text, const char *dimension, int needed,
               int given)
    {
        if (needed <= given)
            return;
        lines << QStringLiteral("%1 (%2) \"%3\": needs %4 px %5, has %6")
                     .arg(pathOf(widget), QLatin1String(widget->metaObject()->className()),
                          shortened(text))
                     .arg(needed)
                     .arg(QLatin1String(dimension))
                     .arg(given);
    }

    QStringList lines;

private:
    // Unnamed levels go by their class: "MainForm/mainStackWdg/webPage/filterTipLbl".
    QString pathOf(const QWidget *widget) const
    {
        QStringList names;
        for (const QWidget *level = widget; level; level = level->parentWidget()) {
            names.prepend(level->objectName().isEmpty()
                              ? QLatin1String(level->metaObject()->className())
                              : level->objectName());
            if (level == window)
                break;
        }
        return names.join(QLatin1Char('/'));
    }

    static QString shortened(QString text)
    {
        text.replace(QLatin1Char('\n'), QStringLiteral(" / "));
        return text.size() > 70 ? text.left(67) + QStringLiteral("...") : text;
    }

    const QWidget *window;
};

// What the user reads: markup taken away.
QString shownText(const QLabel *label)
{
    const QString text = label->text();
    if (label->textFormat() == Qt::PlainText ||
        (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    return QTextDocumentFragment::fromHtml(text).toPlainText();
}

// Whatever of the widget its parents cut away on the way up to the window.
void checkInsideParents(const QWidget *widget, const QString &text, const QWidget *window,
                        Report &report)
{
    QRect visible = widget->rect();
    for (const QWidget *level = widget; level != window && level->parentWidget();
         level = level->parentWidget()) {
        visible.translate(level->pos());
        visible &= level->parentWidget()->rect();
    }
    report.needs(widget, text, "wide in its parents", widget->width(), visible.width());
    report.needs(widget, text, "high in its parents", widget->height(), visible.height());
}

void checkLabel(const QLabel *label, Report &report)
{
    const QString text = shownText(label);
    if (label->wordWrap()) {
        report.needs(label, text, "high", label->heightForWidth(label->width()), label->height());
        // Its longest word, which no wrapping shortens.
        report.needs(label, text, "wide", label->minimumSizeHint().width(), label->width());
        return;
    }
    const QSize hint = label->sizeHint();
    report.needs(label, text, "wide", hint.width(), label->width());
    report.needs(label, text, "high", hint.height(), label->height());
}

// The text beside its icon, in the box the style draws the label in.
void checkButton(const QAbstractButton *button, Report &report)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(button)) {
        contents = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<const QRadioButton *>(button)) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (auto *push = qobject_cast<const QPushButton *>(button)) {
        if (push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        if (push->isFlat())
            option.features |= QStyleOptionButton::Flat;
    } else {
        return;
    }
    const int room = button->style()->subElementRect(contents, &option, button).width();
    int needed = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
    if (!option.icon.isNull())
        needed += option.iconSize.width() + IconSpacing;
    report.needs(button, button->text(), "wide", needed, room);
}

// Every item, not only the current one: the user may choose any.
void checkCombo(const QComboBox *combo, Report &report)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.subControls = QStyle::SC_All;
    const int room =
        combo->style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
            .width();
    for (int i = 0; i < combo->count(); ++i) {
        int needed = combo->fontMetrics().horizontalAdvance(combo->itemText(i));
        if (!combo->itemIcon(i).isNull())
            needed += combo->iconSize().width() + IconSpacing;
        report.needs(combo, combo->itemText(i), "wide", needed, room);
    }
}

// Each row's cells; a view shortens what does not fit with an ellipsis.
void checkTree(const QTreeWidget *tree, Report &report)
{
    const int margins = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = tree->topLevelItem(row);
        for (int column = 0; column < tree->columnCount(); ++column) {
            const QString text = item->text(column);
            if (text.isEmpty())
                continue;
            const QVariant font = item->data(column, Qt::FontRole);
            const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : tree->font());
            int room = tree->columnWidth(column) - margins;
            if (column == 0 && tree->rootIsDecorated())
                room -= tree->indentation();
            report.needs(tree, text, "wide", metrics.horizontalAdvance(text), room);
        }
    }
}

void checkGroupBox(const QGroupBox *box, Report &report)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect title =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    report.needs(box, box->title(), "wide", title.right() + 1, box->width());
}

// The text a widget shows, or empty when it shows none this check reads.
QString textOf(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return shownText(label);
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    if (auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    if (auto *tree = qobject_cast<const QTreeWidget *>(widget))
        return tree->headerItem()->text(0);
    return QString();
}

} // namespace

QStringList clippedTexts(QWidget *window)
{
    Report report(window);
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->window() != window || !widget->isVisibleTo(window))
            continue;
        const QString text = textOf(widget);
        if (text.isEmpty())
            continue;
        checkInsideParents(widget, text, window, report);
        if (auto *label = qobject_cast<const QLabel *>(widget))
            checkLabel(label, report);
        // It ends a long alias in an ellipsis by design.
        else if (qobject_cast<const SplitButton *>(widget))
            continue;
        else if (auto *button = qobject_cast<const QAbstractButton *>(widget))
            checkButton(button, report);
        else if (auto *combo = qobject_cast<const QComboBox *>(widget))
            checkCombo(combo, report);
        else if (auto *box = qobject_cast<const QGroupBox *>(widget))
            checkGroupBox(box, report);
        else if (auto *tree = qobject_cast<const QTreeWidget *>(widget))
            checkTree(tree, report);
    }
    return report.lines;
}
