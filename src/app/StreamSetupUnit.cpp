#include "StreamSetupUnit.h"

#include "ScopeUnit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QCheckBox* BoldCheck(const QString& Name, const QString& Caption, QWidget* Parent) {
    auto* box = new QCheckBox(Caption, Parent);
    box->setObjectName(Name);
    QFont f = box->font();
    f.setBold(true);
    box->setFont(f);
    box->setChecked(true);
    return box;
}

} // namespace

TStreamSetupForm::TStreamSetupForm(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("TStreamSetupForm");
    setWindowTitle("Streaming Setup");
    setFixedSize(419, 208);

    GroupBox1 = new QGroupBox("Streaming Setup", this);
    GroupBox1->setObjectName("GroupBox1");
    CSCheck = BoldCheck("CSCheck", "Count Samples", GroupBox1);
    LTACheck = BoldCheck("LTACheck", "Long Term Averages (LTA)", GroupBox1);
    PTCheck = BoldCheck("PTCheck", "Prox && Touch", GroupBox1);
    PTCheck->hide(); // always ticked; it selects nothing of its own
    THCheck = BoldCheck("THCheck", "Thresholds", GroupBox1);
    auto* boxes = new QVBoxLayout(GroupBox1);
    for (QCheckBox* box : {CSCheck, LTACheck, PTCheck, THCheck}) {
        boxes->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TStreamSetupForm::StreamCheck);
    }

    NoteLabel = new QLabel("NOTE : Streaming the 'Thresholds' require both the Count Samples' and "
                           "'Long Term Averages' to be enabled.",
                           this);
    NoteLabel->setObjectName("NoteLabel");
    NoteLabel->setWordWrap(true);
    NoteLabel->setAlignment(Qt::AlignCenter);
    QFont bold = NoteLabel->font();
    bold.setBold(true);
    NoteLabel->setFont(bold);

    ApplyButton = new QPushButton("Apply", this);
    ApplyButton->setObjectName("ApplyButton");
    ApplyButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setObjectName("CancelButton");
    connect(ApplyButton, &QPushButton::clicked, this, &TStreamSetupForm::ApplyButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TStreamSetupForm::CancelButtonClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ApplyButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(NoteLabel);
    layout->addLayout(buttons);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    // The main window starts with 1-Wire.
    SetupStreaming(true);
}

void TStreamSetupForm::Bind(TStreamSetupHost& Host, TScopeForm& Scope) {
    FHost = &Host;
    FScope = &Scope;
}

TStreamChoice TStreamSetupForm::Choice() const {
    return {CSCheck->isChecked(), LTACheck->isChecked(), PTCheck->isChecked(),
            THCheck->isChecked()};
}

void TStreamSetupForm::SetupStreaming(bool Comms1Wire) {
    FComms1Wire = Comms1Wire;
    FLayout.SetupStreaming(Comms1Wire, Choice());
    if (!Comms1Wire && FScope) {
        FScope->SetCurCHs(CSCheck->isChecked());
        FScope->SetLTACHs(LTACheck->isChecked());
    }
}

void TStreamSetupForm::SetStreamingSetup(quint8 Data) {
    const TStreamChoice choice = TStreamChoice::FromCode(Data);
    CSCheck->setChecked(choice.CountSamples);
    LTACheck->setChecked(choice.LTA);
    PTCheck->setChecked(choice.ProxTouch);
    THCheck->setChecked(choice.Thresholds);
}

void TStreamSetupForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous()) FormActivate();
}

void TStreamSetupForm::FormActivate() {
    FPrevSetup = Choice().Code();
}

void TStreamSetupForm::StreamCheck() {
    const TStreamChoice choice = Choice();
    const TStreamChoice allowed = choice.WithThresholdsRule();
    if (choice.Thresholds && !allowed.Thresholds) {
        THCheck->setChecked(false); // runs this handler again
        return;
    }
    const quint8 code = allowed.Code();
    if (code == FStreamSetup) return;
    FStreamSetup = code;
    SetStreamingSetup(code);
}

void TStreamSetupForm::ApplyButtonClick() {
    SetupStreaming(FComms1Wire);
    if (FHost) {
        FHost->StreamSetupMessage("Streaming setup configured", aInfo);
        if (FHost->BaselineViewOn()) {
            if (!CSCheck->isChecked()) {
                FHost->StreamSetupMessage("Count Samples are disabled", aError);
                FHost->StreamSetupMessage("Unable to calculate deltas!", aError);
            }
            if (!LTACheck->isChecked()) {
                FHost->StreamSetupMessage("Long Term Averages are disabled", aError);
                FHost->StreamSetupMessage("Unable to calculate deltas!", aError);
            }
        }
    }
    accept();
}

void TStreamSetupForm::CancelButtonClick() {
    SetStreamingSetup(FPrevSetup);
    if (FHost) FHost->StreamSetupMessage("Streaming setup canceled", aInfo);
    QDialog::reject();
}

void TStreamSetupForm::reject() {
    CancelButtonClick();
}
