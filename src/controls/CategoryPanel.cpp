#include "CategoryPanel.h"

#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

TCategoryPanel::TCategoryPanel(const QString& Caption, QWidget* Parent)
    : QWidget(Parent), FHeader(new QToolButton(this)), FContent(new QWidget(this)) {
    FHeader->setObjectName("CaptionBar");
    FHeader->setCheckable(true);
    FHeader->setChecked(true);
    FHeader->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FHeader->setArrowType(Qt::DownArrow);
    FHeader->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QFont bold = FHeader->font();
    bold.setBold(true);
    FHeader->setFont(bold);
    SetCaption(Caption);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FHeader);
    layout->addWidget(FContent);
    connect(FHeader, &QToolButton::clicked, this, [this] { SetCollapsed(!Collapsed()); });
}

QString TCategoryPanel::Caption() const {
    return FHeader->text();
}

void TCategoryPanel::SetCaption(const QString& Caption) {
    FHeader->setText(Caption);
}

bool TCategoryPanel::Collapsed() const {
    return FContent->isHidden();
}

void TCategoryPanel::SetCollapsed(bool Collapsed) {
    FContent->setVisible(!Collapsed);
    FHeader->setChecked(!Collapsed);
    FHeader->setArrowType(Collapsed ? Qt::RightArrow : Qt::DownArrow);
    emit CollapsedChanged(Collapsed);
}

TCategoryPanelGroup::TCategoryPanelGroup(QWidget* Parent) : QScrollArea(Parent) {
    auto* inner = new QWidget(this);
    FLayout = new QVBoxLayout(inner);
    FLayout->setContentsMargins(0, 0, 0, 0);
    FLayout->setSpacing(2);
    FLayout->addStretch(1);
    setWidget(inner);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
}

void TCategoryPanelGroup::AddPanel(TCategoryPanel* Panel, int Stretch) {
    FLayout->insertWidget(FLayout->count() - 1, Panel, Stretch);
}

void TCategoryPanelGroup::ScrollToPanel(TCategoryPanel* Panel) {
    ensureWidgetVisible(Panel, 0, 0);
}
