#pragma once

#include <QDialog>

class QLineEdit;

// Asks for the host name or IPv4 address of a camera that the network search did not list. OK
// keeps the dialog open, with the entry as typed, until the entry is one the communication page
// can use as it is: that page cuts the host at the first ":" and builds its URLs from it.
class TabCameraAddress : public QDialog
{
    Q_OBJECT

public:
    explicit TabCameraAddress(QWidget *parent);

    // The accepted entry, exactly as typed.
    QString address() const;
    // Why an entry cannot be used as a camera's address, in the user's words; empty when it can.
    static QString refusal(const QString &address);

public Q_SLOTS:
    void accept() override;

private:
    QLineEdit *m_addressEdit = nullptr;
};
