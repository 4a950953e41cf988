#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Page 0: the brand image, a short introduction and "Start".
class TabWelcome : public QWidget
{
    Q_OBJECT

public:
    TabWelcome(QWidget *parent, int tabIndex);

Q_SIGNALS:
    void MoveTabSignal(int tabIndex);

public Q_SLOTS:
    void OnStartButtonClicked();
    void OpenUrl(const QString &link);

private:
    QPushButton *m_startButton = nullptr;
    QLabel *m_logoLabel = nullptr;
    QLabel *m_textLabel = nullptr;
    int m_tabIndex;
};
