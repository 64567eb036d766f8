#include "HintTipsUnit.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct TTip {
    const char* Headline;
    const char* Body;
    bool Warning; // a red 9 pt headline
};

const TTip Tips[THintTipsForm::TipCount] = {
    {"USB Hubs slow down communication making the device appear sluggish.",
     "Please connect your Kelvra USB Dongle directly into a USB port on your computer.", true},
    {"On the Scope View hold down the right mouse button to Pan in any direction.",
     "You can also hold down the left mouse button dragging a Zoom area from left to right.  "
     "Drag an area from right to left to Zoom out again.",
     false},
    {"Pause the device streaming without switching off power and losing your current "
     "configuration by clicking on the 'Pause' Button.",
     "Resume device streaming by clicking on the 'Resume' Button.", false},
    {"",
     "Enable 'Baseline View' from the Setup panel to display only the Delta Values : "
     "ABS(LTA - Count).",
     false},
};

QLabel* WrappedLabel(const QString& Name, QWidget* Parent) {
    auto* label = new QLabel(Parent);
    label->setObjectName(Name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::white);
    label->setPalette(p);
    return label;
}

} // namespace

THintTipsForm::THintTipsForm(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("THintTipsForm");
    setWindowTitle("Hints & Tips");
    setFixedSize(384, 174);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xD2, 0xD2, 0xD2));
    setPalette(p);

    auto* panel = new QWidget(this);
    panel->setAutoFillBackground(true);
    QPalette panelColour = panel->palette();
    panelColour.setColor(QPalette::Window, QColor(0xEB, 0xEB, 0xEB));
    panel->setPalette(panelColour);
    panel->setFixedWidth(281);
    NextButton = new QPushButton(">>", panel);
    NextButton->setObjectName("NextButton");
    NextButton->setToolTip("Next");
    PrevButton = new QPushButton("<<", panel);
    PrevButton->setObjectName("PrevButton");
    PrevButton->setToolTip("Previous");
    for (QPushButton* b : {NextButton, PrevButton})
        b->setFlat(true);
    InfoLabel = WrappedLabel("InfoLabel", panel);
    InfoLabel2 = WrappedLabel("InfoLabel2", panel);
    QPalette body = InfoLabel2->palette();
    body.setColor(QPalette::WindowText, QColor(0x1F, 0x1F, 0x1F));
    InfoLabel2->setPalette(body);
    auto* stack = new QVBoxLayout(panel);
    stack->setContentsMargins(2, 2, 2, 2);
    stack->setSpacing(2);
    stack->addWidget(NextButton);
    stack->addWidget(InfoLabel, 1);
    stack->addWidget(InfoLabel2, 1);
    stack->addWidget(PrevButton);

    CloseButton = new QPushButton("Close", this);
    CloseButton->setObjectName("CloseButton");
    CountLabel = new QLabel(this);
    CountLabel->setObjectName("CountLabel");
    CountLabel->setAlignment(Qt::AlignCenter);
    QFont count = CountLabel->font();
    count.setPointSize(10);
    count.setBold(true);
    CountLabel->setFont(count);
    auto* side = new QVBoxLayout;
    side->addWidget(CloseButton);
    side->addWidget(CountLabel);
    side->addStretch(1);

    NeverShowCheck = new QCheckBox("Never show hints on startup", this);
    NeverShowCheck->setObjectName("NeverShowCheck");
    auto* top = new QHBoxLayout;
    top->addWidget(panel);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top, 1);
    layout->addWidget(NeverShowCheck);

    connect(NextButton, &QPushButton::clicked, this,
            [this] { ShowTip(FHintIndex % TipCount + 1); });
    connect(PrevButton, &QPushButton::clicked, this,
            [this] { ShowTip(FHintIndex == 1 ? TipCount : FHintIndex - 1); });
    connect(CloseButton, &QPushButton::clicked, this, &THintTipsForm::CloseButtonClick);
    connect(NeverShowCheck, &QCheckBox::toggled, this, [this](bool Checked) {
        QFont f = NeverShowCheck->font();
        f.setBold(Checked);
        NeverShowCheck->setFont(f);
    });
    ShowTip(1);
}

void THintTipsForm::ShowTip(int Index) {
    FHintIndex = Index;
    const TTip& tip = Tips[Index - 1];
    CountLabel->setText(QStringLiteral("%1 / %2").arg(Index).arg(TipCount));
    InfoLabel->setText(QString::fromUtf8(tip.Headline));
    InfoLabel2->setText(QString::fromUtf8(tip.Body));
    QFont headline = InfoLabel->font();
    headline.setPointSize(tip.Warning ? 9 : 8);
    InfoLabel->setFont(headline);
    QPalette p = InfoLabel->palette();
    p.setColor(QPalette::WindowText,
               tip.Warning ? QColor(Qt::red) : palette().color(QPalette::WindowText));
    InfoLabel->setPalette(p);
}

bool THintTipsForm::event(QEvent* Event) {
    if (Event->type() == QEvent::WindowActivate || Event->type() == QEvent::Show)
        if (FShowTips) NeverShowCheck->setChecked(!*FShowTips);
    return QDialog::event(Event);
}

void THintTipsForm::CloseButtonClick() {
    if (FShowTips) *FShowTips = !NeverShowCheck->isChecked();
    QDialog::reject();
}

void THintTipsForm::reject() {
    CloseButtonClick();
}
