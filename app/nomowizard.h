#pragma once

#include <QDialog>

class QStackedWidget;
class TabWelcome;

// The tool's only window: a stack of wizard pages, one shown at a time. Pages never know each
// other; each asks to move on through MoveWidgetSlot and the wizard decides which page follows.
class NomoWizard : public QDialog
{
    Q_OBJECT

public:
    explicit NomoWizard(QWidget *parent);

    int currentPageIndex() const;
    TabWelcome *welcomePage() const { return m_welcomePage; }
    QStackedWidget *pageStack() const { return m_pageStack; }

public Q_SLOTS:
    // A value below 4 leads to the page after it (so 0 leads back to the scan); 4 or more to the
    // device selection page.
    void MoveWidgetSlot(int tabindex);

protected:
    // Escape is swallowed: the wizard is closed only with its close button.
    void keyPressEvent(QKeyEvent *event) override;

private:
    TabWelcome *m_welcomePage = nullptr;
    QStackedWidget *m_pageStack = nullptr;
};
