#pragma once

#include <QDialog>

class QPushButton;
class QStackedWidget;
class TabCommunicationResults;
class TabConfigureOneNomo;
class TabNomoCommunication;
class TabScanNetwork;
class TabWelcome;

// The tool's only window: a stack of wizard pages, one shown at a time. Pages never know each
// other; each asks to move on through MoveWidgetSlot, the wizard decides which page follows and,
// when a page becomes current, starts its work with what the page before it produced.
//
// Everything runs synchronously inside the emit that changed the page: arriving at page 3 runs the
// whole camera session inside the click on page 2's "Continue", and that session's outcome moves
// the wizard on to page 4 before the click handler returns.
class NomoWizard : public QDialog
{
    Q_OBJECT

public:
    explicit NomoWizard(QWidget *parent);

    int currentPageIndex() const;
    TabWelcome *welcomePage() const { return m_welcomePage; }
    TabScanNetwork *scanPage() const { return m_scanPage; }
    TabConfigureOneNomo *devicePage() const { return m_devicePage; }
    TabNomoCommunication *communicationPage() const { return m_communicationPage; }
    TabCommunicationResults *resultsPage() const { return m_resultsPage; }
    QStackedWidget *pageStack() const { return m_pageStack; }

public Q_SLOTS:
    // A value below 4 leads to the page after it (so 0 leads back to the scan); 4 or more to the
    // device selection page.
    void MoveWidgetSlot(int tabindex);
    void OnCurrentWidgetChanged(int widgetIndex);

protected:
    // Escape is swallowed: the wizard is closed only with its close button.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Makes the page's own default button the one that answers Enter again.
    void restoreDefaultButton(int pageIndex);

    TabWelcome *m_welcomePage = nullptr;
    TabScanNetwork *m_scanPage = nullptr;
    TabConfigureOneNomo *m_devicePage = nullptr;
    TabNomoCommunication *m_communicationPage = nullptr;
    TabCommunicationResults *m_resultsPage = nullptr;
    QStackedWidget *m_pageStack = nullptr;
    // Each page's default button (or none), by page index. All pages share this one dialog, where
    // only one button can be the default at a time, and a button that takes the keyboard focus
    // takes the default role with it.
    QList<QPushButton *> m_defaultButtons;
};
