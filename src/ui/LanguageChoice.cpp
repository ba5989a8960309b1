#include "ui/LanguageChoice.h"

#include "ui/StyleSheets.h"
#include "ui/WindowLanguage.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QLabel>

LanguageChoice::LanguageChoice(QWidget *groupAbove, QWidget *parent)
    : QGroupBox(tr("Window language"), parent)
    , list(new QComboBox(this))
    , note(new QLabel(this))
{
    setObjectName(QStringLiteral("groupLanguage"));
    list->setObjectName(QStringLiteral("comboWindowLanguage"));
    note->setObjectName(QStringLiteral("labelLanguageNote"));
    note->setWordWrap(true);
    // As the fields of the groups above it.
    list->setFont(QFont(QStringLiteral("Arial"), 14));
    list->setStyleSheet(QString::fromLatin1(StyleSheets::control));
    note->setFont(QFont(QStringLiteral("Arial"), 11));
    // Each language named in itself, so an operator who cannot read the other finds his own.
    list->addItem(tr("As the system"), QString());
    list->addItem(QStringLiteral("Deutsch (de)"), QString::fromLatin1(WindowLanguage::German));
    list->addItem(QStringLiteral("English (en)"), QString::fromLatin1(WindowLanguage::English));
    list->setToolTip(tr("The language of this window; the pump's own display language is set "
                        "on the Settings tab"));
    list->setCurrentIndex(std::max(0, list->findData(WindowLanguage::stored())));
    connect(list, qOverload<int>(&QComboBox::activated), this, &LanguageChoice::picked);

    auto *row = new QHBoxLayout(this);
    row->addWidget(list);
    row->addWidget(note, 1);

    if (groupAbove != nullptr) {
        setFont(groupAbove->font());
        setStyleSheet(groupAbove->styleSheet());
        QWidget *page = groupAbove->parentWidget();
        QLayout *layout = page != nullptr ? page->layout() : nullptr;
        if (auto *column = qobject_cast<QBoxLayout *>(layout))
            column->insertWidget(column->indexOf(groupAbove) + 1, this);
        else if (auto *grid = qobject_cast<QGridLayout *>(layout))
            grid->addWidget(this, grid->rowCount(), 0, 1, grid->columnCount());
    }
}

void LanguageChoice::picked(int index)
{
    const QString code = list->itemData(index).toString();
    WindowLanguage::store(code);
    note->setText(tr("Takes effect at the next start of DOSETTA."));
}
