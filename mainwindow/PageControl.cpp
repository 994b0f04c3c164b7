#include "mainwindow/PageControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

PageControl::PageControl(QWidget *parent)
    : QWidget(parent), tabs_(new QButtonGroup(this)), tabRows_(new QVBoxLayout), pages_(new QStackedWidget(this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    tabRows_->setSpacing(0);
    column->addLayout(tabRows_);
    pages_->setFrameShape(QFrame::StyledPanel);
    column->addWidget(pages_, 1);
    tabs_->setExclusive(true);
    connect(tabs_, &QButtonGroup::idClicked, this, [this](int index) {
        if (index != pages_->currentIndex())
            setCurrentIndex(index);
    });
}

QWidget *PageControl::Add_Page(const QString &objectName, const QString &caption, const QIcon &icon, int row)
{
    const int index = pages_->count();
    auto *page = new QWidget;
    page->setObjectName(objectName);
    pages_->addWidget(page);

    auto *tab = new QToolButton;
    tab->setObjectName(objectName + QStringLiteral("_Tab"));
    tab->setText(caption);
    tab->setIcon(icon);
    tab->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tab->setCheckable(true);
    tab->setChecked(index == 0);
    tab->setFocusPolicy(Qt::NoFocus);
    tab->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    tabs_->addButton(tab, index);
    while (tabRows_->count() <= row)
        tabRows_->addLayout(new QHBoxLayout);
    auto *rowLayout = static_cast<QHBoxLayout *>(tabRows_->itemAt(row)->layout());
    rowLayout->setSpacing(0);
    rowLayout->addWidget(tab);
    return page;
}

int PageControl::currentIndex() const { return pages_->currentIndex(); }

void PageControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= pages_->count())
        return;
    tabs_->button(index)->setChecked(true);
    if (index == pages_->currentIndex())
        return;
    pages_->setCurrentIndex(index);
    emit currentChanged(index);
}

QString PageControl::Caption(int index) const
{
    auto *tab = tabs_->button(index);
    return tab ? tab->text() : QString();
}

int PageControl::count() const { return pages_->count(); }
