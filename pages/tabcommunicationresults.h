#pragma once

#include "agent/enmcomresult.h"

#include <QWidget>

class QDialogButtonBox;
class QLabel;
class QPixmap;
class QPushButton;

// Wraps a message in the coloured HTML frame of the results page.
QString getHtmlString(const QString &text, const QString &colour);

// Page 4: the outcome of the configuration session, "Exit" and "Return to Wi-Fi Setup".
// After a success the picture label is shown and "Return to Wi-Fi Setup" stays hidden for the rest
// of the run, so the user can only leave.
class TabCommunicationResults : public QWidget
{
    Q_OBJECT

public:
    TabCommunicationResults(QWidget *parent, int tabIndex);

    // Called by the wizard each time this page becomes current.
    void setTextAndImage(enmComResult result, const QPixmap &image);

    // The message shown for an outcome, as rich text; empty for outcomes without one.
    static QString message(enmComResult result);

    // The maker's download address the "not current" message links to (set at build time).
    static QString downloadUrl();

Q_SIGNALS:
    void MoveTabSignal(int tabIndex);

public Q_SLOTS:
    void OnConfigureButtonClicked();
    void OnQuitButtonClicked();
    void OpenUrl(const QString &link);

private:
    QLabel *m_logoLabel = nullptr;
    QLabel *m_backgroundLabel = nullptr;
    QLabel *m_textLabel = nullptr;
    QPushButton *m_exitButton = nullptr;
    QPushButton *m_returnButton = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
    // Never emitted: "Return to Wi-Fi Setup" asks for the scan page with 0.
    int m_tabIndex;
};
