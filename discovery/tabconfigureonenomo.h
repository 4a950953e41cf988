#pragma once

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QDialogButtonBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QVBoxLayout;

// Splits one device entry "service name@host name" into the name shown to the user and the host
// text handed to the communication page (the piece after the first "@", up to a second one). An
// entry without "@" gives an empty host text.
void extractNameAndIp(QString entry, QString &name, QString &ip);

// Page 2: one radio button per camera found by the scan; "Continue" hands the chosen camera's host
// on, "Re-Scan" goes back to the scan. Continue is enabled only once a choice has been made since
// the last setDevices.
class TabConfigureOneNomo : public QWidget
{
    Q_OBJECT

public:
    TabConfigureOneNomo(QWidget *parent, int tabIndex);

    void setDevices(const QStringList &devices);
    void ClearDevices();

    // Host text of the chosen camera; kept across setDevices until another choice is made.
    QString selectedDevice() const { return m_selectedDevice; }
    QList<QRadioButton *> choiceButtons() const { return m_choiceButtons; }
    QPushButton *continueButton() const { return m_continueButton; }
    QPushButton *rescanButton() const { return m_rescanButton; }

Q_SIGNALS:
    void MoveWidgetSignal(int tabIndex);

public Q_SLOTS:
    void OnConfigureButtonClicked();
    void OnDetectedNomosChecked();
    void OnReScanButtonClicked();

private:
    QString m_selectedDevice;
    // Both are scheduled for deletion by ClearDevices and deleted by the scroll area when the next
    // container replaces them: guarded, so no later call reaches a freed object.
    QPointer<QWidget> m_choiceContainer;
    QLabel *m_textLabel = nullptr;
    QPushButton *m_continueButton = nullptr;
    QPushButton *m_rescanButton = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
    QLabel *m_logoLabel = nullptr;
    QVBoxLayout *m_pageLayout = nullptr;
    QHBoxLayout *m_topRowLayout = nullptr;
    QPointer<QVBoxLayout> m_choiceLayout;
    QScrollArea *m_scrollArea = nullptr;
    // The radio buttons in list order, and the host text of each one's own entry: two cameras may
    // share a display name, and each button must still choose its own camera.
    QList<QRadioButton *> m_choiceButtons;
    QStringList m_choiceHosts;
    int m_tabIndex;
};
