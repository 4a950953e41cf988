#pragma once

#include "discovery/discoveryproblem.h"

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
//
// Under the list: the scan's notice, while the list is empty or when a listed camera's name cannot
// be looked up, and a link that adds a camera by its address as one more choice.
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
    QPushButton *addressButton() const { return m_addressButton; }
    QLabel *noticeLabel() const { return m_noticeLabel; }

    // Adds a camera by its address: one more choice, labelled with the address and chosen.
    void addAddressChoice(const QString &address);

Q_SIGNALS:
    void MoveWidgetSignal(int tabIndex);

public Q_SLOTS:
    void OnConfigureButtonClicked();
    void OnDetectedNomosChecked();
    void OnReScanButtonClicked();
    void OnAddressButtonClicked();
    // The scan's problem; shown while it concerns what the page offers.
    void setProblem(const DiscoveryProblem &problem);

private:
    QRadioButton *addChoice(const QString &label, const QString &host);
    void orderTabs();
    void updateNotice();

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
    QLabel *m_noticeLabel = nullptr;
    QPushButton *m_addressButton = nullptr;
    DiscoveryProblem m_problem;
    int m_foundCount = 0;
};
