#pragma once

#include "KvrListBox.h"
#include "RunSession.h"
#include "StreamLayout.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TScopeForm;

// What the streaming set-up dialog tells and asks the main window.
class TStreamSetupHost {
public:
    virtual ~TStreamSetupHost() = default;
    virtual void StreamSetupMessage(const QString& Text, TKvrItemType Kind) = 0;
    virtual bool BaselineViewOn() const = 0;
};

// The streaming set-up dialog: which groups of values the IC streams over I2C. It owns the
// stream layout that starting the stream and decoding its samples use.
class TStreamSetupForm : public QDialog, public TStreamSetUp {
    Q_OBJECT
public:
    explicit TStreamSetupForm(QWidget* Parent = nullptr);

    // Connects the dialog to the main window and the scope once all windows exist.
    void Bind(TStreamSetupHost& Host, TScopeForm& Scope);

    // Rebuilds the stream for the link type from the check boxes.
    void SetupStreaming(bool Comms1Wire) override;
    // Ticks the boxes as the bits of Data say (1 counts, 2 LTA, 4 prox & touch, 8 thresholds).
    void SetStreamingSetup(quint8 Data);
    // The boxes as they are now; the decoder reads them live.
    TStreamChoice Choice() const override;
    const TStreamLayout& Layout() const override { return FLayout; }

    QGroupBox* GroupBox1;
    QCheckBox* CSCheck;
    QCheckBox* LTACheck;
    QCheckBox* PTCheck;
    QCheckBox* THCheck;
    QLabel* NoteLabel;
    QPushButton* ApplyButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* Event) override;
    // Escape, like the Cancel button, puts the boxes back.
    void reject() override;

private:
    void FormActivate();
    void StreamCheck();
    void ApplyButtonClick();
    void CancelButtonClick();

    TStreamLayout FLayout;
    quint8 FStreamSetup = 15;
    quint8 FPrevSetup = 15;
    bool FComms1Wire = true;
    TStreamSetupHost* FHost = nullptr;
    TScopeForm* FScope = nullptr;
};
