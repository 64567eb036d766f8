// The main window's frame: activation with the saved settings, close and destruction,
// layout on resize, menus, keyboard shortcuts, message-panel colours and the remote command.
#include "MainUnit.h"

#include "AboutDialogUnit.h"
#include "CategoryPanel.h"
#include "HintTipsUnit.h"
#include "Kelvra.h"
#include "KelvraDevList.h"
#include "KelvraPXS731.h"
#include "Keyboard.h"
#include "KvrListBox.h"
#include "MainLayout.h"
#include "ModalDialogs.h"
#include "RemoteCommand.h"
#include "SafeFile.h"
#include "ScopeUnit.h"
#include "SendCommandsUnit.h"
#include "StreamSetupUnit.h"
#include "ToolTipManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <qcustomplot.h>

namespace {
constexpr int HintHideMs = 6000;
const QColor ErrorPanelColour(255, 94, 94);
const QColor InfoPanelColour(213, 255, 213);
// The folder of the last file saved, beside the sections of the windows.
const QString FilesSection = QStringLiteral("Files");
// How long a run waits for its unplugged dongle to return.
const QString RunSection = QStringLiteral("Run");
const QString ReconnectKey = QStringLiteral("ReconnectSeconds");
constexpr int MaxReconnectSeconds = 600;
const QString FirstStartHint = QStringLiteral(
    "To start a run press F1 (Start), Shift+F1 (Start in debug mode) or F4 (Power On); the "
    "Run menu has them too.");
} // namespace

TPXS733MainForm::~TPXS733MainForm() {
    qApp->removeEventFilter(this);
    FClosing = true;
    StopRecording();
    if (Session->State().Streaming && KelvraDevList1->Connected()) {
        // Leave the IC switched off; the results no longer matter.
        PXS731Device1->StopStreaming();
        PXS731Device1->PowerOff();
    }
    if (FResetSizePos && !IniFilePath.isEmpty()) QFile::remove(IniFilePath);
}

void TPXS733MainForm::BindWindows(const TPXS733Windows& Windows) {
    FWindows = &Windows;
    Windows.StreamSetupForm->Bind(*this, *Windows.ScopeForm);
    Session->UseStreamSetUp(*Windows.StreamSetupForm);
    SubscribeToSession();
    ShowRunState();
    Windows.ScopeForm->Bind(*this, FDialogs);
    Windows.SnrForm->Bind(*this, *Session, FDialogs);
    Windows.SendCommands->Bind(
        FDialogs, [this] { return IniFilePath; },
        [this](const QString& Reason) { SettingsNotSaved(Reason); });
    Windows.HintTipsForm->Bind(FShowTips);
    Windows.ScopeForm->CH0PTShape->setPixmap(FImages.value("CHNoneScope"));
}

bool TPXS733MainForm::event(QEvent* Event) {
    if (Event->type() == QEvent::WindowActivate) FormActivate();
    return QMainWindow::event(Event);
}

void TPXS733MainForm::FormActivate() {
    if (StartButton->isEnabled()) StartButton->setFocus();

    if (FSetupFormIni) {
        try {
            const QString folder = GetLocalAppDataFolder();
            IniFilePath = MainFormSettings::IniFilePath(folder);
            MainFormSettings::CreateFolders(folder);
            if (!QFileInfo::exists(IniFilePath)) MessageBox->KvrAddItem(FirstStartHint, aInfo);
            TIniFile ini(IniFilePath);
            MainFormSettings::Load(ini, *this);
            FDialogs.LastFolder = ini.ReadString(FilesSection, "LastFolder", QString());
            FSetupFormIni = false;
            const int reconnect =
                ini.ReadInteger(RunSection, ReconnectKey, DefaultReconnectSeconds);
            Session->SetReconnectLimit(1000 * std::clamp(reconnect, 0, MaxReconnectSeconds));
        } catch (const EIniFileError&) {
            MessageBox->KvrAddItem("Error loading saved settings!", aError);
        }
    }

    FWindows->AboutDialog->SetVersion(FAppVersion);

    if (FShowTips && !FShownTips) {
        AlignChannelLabels();
        FShownTips = true;
        // Shown once this activation has finished, not from inside it, and after the first
        // look at the dongles with its questions.
        if (FDonglesChecked)
            QMetaObject::invokeMethod(this, &TPXS733MainForm::ShowHintTips, Qt::QueuedConnection);
        else
            FTipsWaiting = true;
    }
}

void TPXS733MainForm::closeEvent(QCloseEvent* Event) {
    StopRecording();
    if (!IniFilePath.isEmpty()) {
        TIniFile ini(IniFilePath);
        QString error = MainFormSettings::Save(ini, *this);
        if (error.isEmpty() && !FDialogs.LastFolder.isEmpty() &&
            !ini.WriteString(FilesSection, "LastFolder", FDialogs.LastFolder))
            error = ini.WriteError();
        if (error.isEmpty() &&
            !ini.WriteInteger(RunSection, ReconnectKey, Session->ReconnectLimit() / 1000))
            error = ini.WriteError();
        if (!error.isEmpty()) SettingsNotSaved(error);
    }
    Event->accept();
    emit Closed();
}

void TPXS733MainForm::SettingsNotSaved(const QString& Reason) {
    // The windows write their sections as they close, when nobody reads the message list
    // any more; the first failure is told, the others are alike.
    if (std::exchange(FSettingsErrorReported, true)) return;
    qWarning().noquote() << QStringLiteral("Settings not saved to %1: %2").arg(IniFilePath, Reason);
}

bool TPXS733MainForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == DataMissLabel && Event->type() == QEvent::MouseButtonRelease) {
        DataMissLabel->hide(); // clicked: seen
        return true;
    }
    if (Watched == ClientPanel && Event->type() == QEvent::Resize) {
        FormResize();
        return false;
    }
    if (Event->type() == QEvent::ToolTip && Watched->isWidgetType()) {
        // Hover hints follow the menu check and hide after a fixed time.
        auto* widget = static_cast<QWidget*>(Watched);
        if (ToolTipManager1->ToolTips.FindToolTip(widget)) return false; // it has a balloon
        if (!ShowHintsItem->isChecked()) return true;
        if (widget->toolTip().isEmpty()) return false;
        QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), widget->toolTip(), widget,
                           {}, HintHideMs);
        return true;
    }
    if ((Event->type() == QEvent::KeyPress || Event->type() == QEvent::MouseButtonRelease) &&
        FuseEditEvent(Watched, Event))
        return true;
    return ApplicationEvents1Message(Watched, Event);
}

bool TPXS733MainForm::ApplicationEvents1Message(QObject* Receiver, QEvent* Event) {
    if (Event->type() == QEvent::ApplicationDeactivate) {
        FLeftShiftDown = FRightShiftDown = false; // their releases go to another program
        return false;
    }
    // A key message reaches its window first and then each widget on its way; act on the
    // window's copy only, so that every key counts once.
    if (!qobject_cast<QWindow*>(Receiver)) return false;
    if (Event->type() != QEvent::KeyPress && Event->type() != QEvent::KeyRelease) return false;

    const auto* key = static_cast<QKeyEvent*>(Event);
    const TShiftSide side = ShiftSideOf(*key);
    if (Event->type() == QEvent::KeyPress) {
        if (side == TShiftSide::Left) FLeftShiftDown = true;
        if (side == TShiftSide::Right) FRightShiftDown = true;
        if (FLeftShiftDown && FRightShiftDown) ToggleEngineeringPanel();
    } else if (!key->isAutoRepeat()) {
        if (side == TShiftSide::Left) FLeftShiftDown = false;
        if (side == TShiftSide::Right) FRightShiftDown = false;
        FunctionKeyReleased(*key);
    }
    return false;
}

void TPXS733MainForm::FunctionKeyReleased(const QKeyEvent& Event) {
    const int key = Event.key();
    // A modal dialog (a warning in the middle of a start or resume) owns the keyboard: its
    // keys must not start another action underneath it.
    if (QApplication::activeModalWidget()) return;
    if (key == Qt::Key_F1 && FValidFirmware) {
        // Shift as it was when F1 came up, not when the event is handled: a quick Shift+F1
        // is often released by then.
        if (!(Event.modifiers() & Qt::ShiftModifier))
            StartButtonClick(StartButton); // whether or not the button is enabled
        else if (StartTMButton->isEnabled())
            StartButtonClick(StartTMButton);
    } else if (key == Qt::Key_F2 && FValidFirmware && PauseButton->isEnabled()) {
        PauseButtonClick();
    } else if (key == Qt::Key_F4 && FValidFirmware) {
        PowerButtonClick();
    } else if (key == Qt::Key_F3) {
        TScopeForm* scope = FWindows->ScopeForm;
        if (scope->isVisible() && !scope->isMinimized())
            scope->close();
        else
            ScopeButtonClick();
    }
}

void TPXS733MainForm::ToggleEngineeringPanel() {
    if (EngineeringCategoryPanel->isVisible()) {
        EngineeringCategoryPanel->hide();
        MessageBox->KvrAddItem("Engineering Disabled", aInfo);
        FFirmwareCheck = true;
    } else {
        EngineeringCategoryPanel->show();
        CategoryPanelGroup2->ScrollToPanel(EngineeringCategoryPanel);
        MessageBox->KvrAddItem("Engineering Enabled", aInfo);
        FFirmwareCheck = false;
    }
}

void TPXS733MainForm::ScopeButtonClick() {
    TScopeForm* scope = FWindows->ScopeForm;
    scope->show();
    if (scope->isMinimized()) scope->showNormal();
    scope->raise();
}

void TPXS733MainForm::SnrButtonClick() {
    TSnrForm* snr = FWindows->SnrForm;
    snr->show();
    if (snr->isMinimized()) snr->showNormal();
    snr->raise();
    snr->activateWindow();
}

void TPXS733MainForm::ResetSettingsClick() {
    FResetSizePos = true;
    MessageBox->KvrAddItem("Saved settings will reset on next start-up", aInfo);
}

void TPXS733MainForm::ShowHintTips() {
    FDialogs.Exec(*FWindows->HintTipsForm);
}

void TPXS733MainForm::ShowAbout() {
    FDialogs.Exec(*FWindows->AboutDialog);
}

void TPXS733MainForm::SaveMessages() {
    const QString path = FDialogs.SaveFile("Save Messages", "messages", {"Text files (*.txt)"});
    if (path.isEmpty()) return;
    const QString error = SafeFile::Write(path, MessageBox->LinesText(false).toUtf8());
    if (!error.isEmpty())
        FDialogs.ReportError(QStringLiteral("Cannot write %1: %2").arg(path, error));
}

void TPXS733MainForm::MessageBoxErrorItem() {
    SetMessagesPanelColour(ErrorPanelColour);
    if (MessagesCategory->Collapsed()) MessagesCategory->Expand();
}

void TPXS733MainForm::MessageBoxInfoItem() {
    SetMessagesPanelColour(InfoPanelColour);
}

void TPXS733MainForm::SetMessagesPanelColour(const QColor& Colour) {
    QPalette p = MessagesPanel->palette();
    if (p.color(QPalette::Window) == Colour) return;
    p.setColor(QPalette::Window, Colour);
    MessagesPanel->setPalette(p);
}

void TPXS733MainForm::FormResize() {
    const int clientHeight = ClientPanel->height();
    const int rightColumnLeft = ClientPanel->width() - MainLayout::RightColumnWidth;
    CategoryPanelGroup1->setGeometry(0, 0, MainLayout::LeftColumnWidth, clientHeight);
    CategoryPanelGroup2->setGeometry(rightColumnLeft, 0, MainLayout::RightColumnWidth,
                                     clientHeight);

    // The container is anchored on all sides; the rule then keeps its gaps.
    QRect container = ContainerPanel->geometry();
    container.setHeight(clientHeight - MainLayout::ContainerBottomMargin - container.top());
    ContainerPanel->setGeometry(MainLayout::ContainerAfterResize(
        container, rightColumnLeft, frameGeometry().height(), clientHeight));

    if (!RePosTimer->isActive()) RePosTimer->start();
}

void TPXS733MainForm::RePosTimerTimer() {
    RePosTimer->stop();
    AlignChannelLabels();
}

void TPXS733MainForm::AlignChannelLabels() {
    BarGraph->replot();
    const int x0 =
        BarGraph->mapTo(ContainerPanel, QPoint(qRound(BarGraph->xAxis->coordToPixel(0)), 0)).x();
    const MainLayout::TChannelLabelLefts lefts = MainLayout::ChannelLabelLefts(x0, HighDpi());
    auto place = [this](QWidget* w, int left) {
        const QPoint inParent = w->parentWidget()->mapFrom(ContainerPanel, QPoint(left, 0));
        w->move(inParent.x(), w->y());
    };
    place(CH0PTShape, lefts.Shape);
    place(CH0Label, lefts.Label);
    for (QLabel* l : {CS0Lbl, LTA0Lbl, DT0Lbl, PCC0Label, Comp0Label, Sens0Label})
        place(l, lefts.Values);
    // The lamps stand right of the values, wherever the bars put them.
    place(ActivationImage, lefts.Values + MainLayout::ValuesToLamps);
    place(MovementImage, lefts.Values + MainLayout::ValuesToLamps + MainLayout::LampSpacing);
    // Captions stand right-aligned just left of their values.
    for (QLabel* caption : FValueCaptions)
        place(caption, lefts.Values - caption->width() - 8);
}

int TPXS733MainForm::HandleRemoteCommand(const QString& Text) {
    if (RemoteCommand::AsksToClose(Text))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return RemoteCommand::Answer(Text);
}

// Saved-settings target

QRect TPXS733MainForm::OuterGeometry() const {
    return frameGeometry();
}

bool TPXS733MainForm::IsMaximized() const {
    return isMaximized();
}

bool TPXS733MainForm::MonitorContains(QPoint Point) const {
    return QGuiApplication::screenAt(Point) != nullptr;
}

QSize TPXS733MainForm::MonitorWorkArea(QPoint Point) const {
    const QScreen* screen = QGuiApplication::screenAt(Point);
    return screen ? screen->availableGeometry().size() : QSize();
}

void TPXS733MainForm::MoveTo(QPoint TopLeft) {
    move(TopLeft);
}

void TPXS733MainForm::ResizeOuter(int Width, int Height) {
    const QRect frame = frameGeometry();
    resize(Width - (frame.width() - width()), Height - (frame.height() - height()));
}

void TPXS733MainForm::Maximize() {
    setWindowState(windowState() | Qt::WindowMaximized);
}

bool TPXS733MainForm::HoverHints() const {
    return ShowHintsItem->isChecked();
}

void TPXS733MainForm::SetHoverHints(bool On) {
    ShowHintsItem->setChecked(On);
}

bool TPXS733MainForm::BaselineView() const {
    return DeltaCheck->isChecked();
}

void TPXS733MainForm::SetBaselineView(bool On) {
    if (DeltaCheck->isChecked() == On) return;
    DeltaCheck->setChecked(On);
    DeltaCheckClick();
}

bool TPXS733MainForm::ShowTips() const {
    return FShowTips;
}

void TPXS733MainForm::SetShowTips(bool On) {
    FShowTips = On;
}
