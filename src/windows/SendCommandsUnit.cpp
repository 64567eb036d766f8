#include "SendCommandsUnit.h"

#include "CommandTrace.h"
#include "IniFile.h"
#include "KelvraHIDTool.h"
#include "ModalDialogs.h"
#include "SafeFile.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

namespace {
const QString Section = QStringLiteral("SendComForm");
constexpr int Margin = 8;
constexpr int Gap = 5;
} // namespace

TSendCommands::TSendCommands(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setObjectName("TSendCommands");
    setWindowTitle("Send Commands");
    setMinimumSize(300, 200);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xCE, 0xCE, 0xCE));
    setPalette(p);
    setAutoFillBackground(true);

    ListBox1 = new QTreeWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setHeaderLabels({"ms", "Command"});
    ListBox1->setRootIsDecorated(false);
    ListBox1->setUniformRowHeights(true);
    ListBox1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    QFont mono(QStringLiteral("Courier New"), 9);
    mono.setStyleHint(QFont::Monospace);
    ListBox1->setFont(mono);

    Button1 = new QPushButton("Save To File", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("Clear", this);
    Button2->setObjectName("Button2");
    OKBtn = new QPushButton("Close", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    FilterEdit = new QLineEdit(this);
    FilterEdit->setObjectName("FilterEdit");
    FilterEdit->setPlaceholderText("Command code (hex)");
    FilterEdit->setToolTip("Show only the requests of this command code");
    IncludeTimesCheck = new QCheckBox("Include times", this);
    IncludeTimesCheck->setObjectName("IncludeTimesCheck");
    connect(Button1, &QPushButton::clicked, this, &TSendCommands::SaveToFile);
    connect(Button2, &QPushButton::clicked, ListBox1, &QTreeWidget::clear);
    connect(OKBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(FilterEdit, &QLineEdit::textChanged, this, &TSendCommands::ApplyFilter);

    WindowPlacement::PlaceInWorkArea(*this, QSize(370, 382));
}

TSendCommands::~TSendCommands() {
    FTrace.Reset();
    if (!FFormActivated || !FIniFilePath || FIniFilePath().isEmpty()) return;
    TIniFile ini(FIniFilePath());
    const QString error = WindowPlacement::Save(ini, Section, *this);
    if (!error.isEmpty() && FSettingsNotSaved) FSettingsNotSaved(error);
}

void TSendCommands::Bind(TModalDialogs& Dialogs, std::function<QString()> IniFilePath,
                         std::function<void(const QString&)> SettingsNotSaved) {
    FDialogs = &Dialogs;
    FIniFilePath = std::move(IniFilePath);
    FSettingsNotSaved = std::move(SettingsNotSaved);
}

void TSendCommands::StartTracing(TKelvraHidTool& Tool) {
    show();
    raise();
    activateWindow();
    if (!FTracing) FClock.start();
    FTracing = true;
    FTrace = Tool.OnSendCommands.Subscribe(
        [this](const TKvrByteArray& Command) { SendCommandsTrace(Command); });
}

QStringList TSendCommands::Lines() const {
    QStringList lines;
    for (int i = 0; i < ListBox1->topLevelItemCount(); ++i)
        lines << ListBox1->topLevelItem(i)->text(1);
    return lines;
}

int TSendCommands::CentredLeft(int LeftButtonRight, int RightButtonLeft, int Width) {
    return LeftButtonRight + (RightButtonLeft - LeftButtonRight) / 2 - Width / 2;
}

void TSendCommands::SendCommandsTrace(const TKvrByteArray& Command) {
    AddLine(QString::number(FClock.elapsed()), CommandTrace::Line(Command));
}

void TSendCommands::AddLine(const QString& Time, const QString& Line) {
    auto* item = new QTreeWidgetItem(ListBox1, {Time, Line});
    const QString filter = FilterEdit->text().trimmed();
    if (!filter.isEmpty()) {
        bool ok = false;
        const uint code = filter.toUInt(&ok, 16);
        const auto lineCode = CommandTrace::CodeOf(Line);
        item->setHidden(ok && lineCode && *lineCode != code);
    }
    ListBox1->setCurrentItem(item); // the newest line stays in view
}

void TSendCommands::ApplyFilter() {
    bool ok = false;
    const uint code = FilterEdit->text().trimmed().toUInt(&ok, 16);
    for (int i = 0; i < ListBox1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListBox1->topLevelItem(i);
        const auto lineCode = CommandTrace::CodeOf(item->text(1));
        item->setHidden(ok && lineCode && *lineCode != code);
    }
}

void TSendCommands::SaveToFile() {
    if (!FDialogs) return;
    const QString path = FDialogs->SaveFile("Save To File", "trace", {"Text files (*.txt)"});
    if (path.isEmpty()) return;
    QList<qint64> times;
    for (int i = 0; i < ListBox1->topLevelItemCount(); ++i) {
        bool ok = false;
        const qint64 ms = ListBox1->topLevelItem(i)->text(0).toLongLong(&ok);
        times << (ok ? ms : -1);
    }
    const QString error = SafeFile::Write(
        path, CommandTrace::FileText(Lines(), times, IncludeTimesCheck->isChecked()));
    if (!error.isEmpty()) {
        FDialogs->ReportError(QStringLiteral("Cannot write %1: %2").arg(path, error));
        return;
    }
    AddLine(QString(), "File saved successfully");
}

bool TSendCommands::event(QEvent* Event) {
    if (Event->type() == QEvent::WindowActivate) {
        FFormActivated = true;
        if (FSetupFormIni && FIniFilePath && !FIniFilePath().isEmpty()) {
            FSetupFormIni = false;
            try {
                WindowPlacement::Load(TIniFile(FIniFilePath()), Section, *this);
            } catch (const EIniFileError&) {
                // an unreadable placement keeps the defaults, silently
            }
        }
    }
    return QWidget::event(Event);
}

void TSendCommands::showEvent(QShowEvent* Event) {
    if (FRunPos && !Event->spontaneous()) move(*std::exchange(FRunPos, std::nullopt));
    QWidget::showEvent(Event);
}

void TSendCommands::closeEvent(QCloseEvent* Event) {
    FTrace.Reset(); // nothing is traced while the window is closed
    FTracing = false;
    FRunPos = pos();
    QWidget::closeEvent(Event);
}

void TSendCommands::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    const int buttonHeight = OKBtn->sizeHint().height();
    const int filterHeight = FilterEdit->sizeHint().height();
    const int listBottom = height() - Margin - filterHeight - Gap - buttonHeight - Gap;
    ListBox1->setGeometry(Margin, Margin, width() - 2 * Margin, listBottom - Margin);
    const int top = listBottom + Gap;
    const int buttonWidth = 90;
    Button1->setGeometry(Margin, top, buttonWidth, buttonHeight);
    OKBtn->setGeometry(width() - Margin - buttonWidth, top, buttonWidth, buttonHeight);
    Button2->setGeometry(CentredLeft(Margin + buttonWidth, OKBtn->x(), buttonWidth), top,
                         buttonWidth, buttonHeight);
    const int filterTop = top + buttonHeight + Gap;
    FilterEdit->setGeometry(Margin, filterTop, 150, filterHeight);
    IncludeTimesCheck->setGeometry(Margin + 160, filterTop, width() - 2 * Margin - 160,
                                   filterHeight);
}
