// Rows, names and buttons of the calibration and scale dialogs.
#include "ui/DialogForm.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/Language.h"

namespace {
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
} // namespace

DialogForm::DialogForm(QDialog* dialog)
    : m_Dialog(dialog)
    , m_Grid(new QGridLayout(dialog))
{
}

QString DialogForm::text(const char* english, const char* japanese)
{
    return QString::fromUtf8(g_bJapanese ? japanese : english);
}

QWidget* DialogForm::control(const QWidget* dialog, int id)
{
    return dialog->findChild<QWidget*>(QString::number(id));
}

void DialogForm::row(const QString& label, QWidget* control, int id)
{
    control->setObjectName(QString::number(id));
    m_Grid->addWidget(new QLabel(label, m_Dialog), m_Rows, 0);
    m_Grid->addWidget(control, m_Rows++, 1);
}

void DialogForm::pair(QWidget* left, int leftId, QWidget* right, int rightId)
{
    left->setObjectName(QString::number(leftId));
    right->setObjectName(QString::number(rightId));
    m_Grid->addWidget(left, m_Rows, 0);
    m_Grid->addWidget(right, m_Rows++, 1);
}

void DialogForm::wide(QWidget* control, int id)
{
    control->setObjectName(QString::number(id));
    m_Grid->addWidget(control, m_Rows++, 0, 1, 2);
}

void DialogForm::okCancel()
{
    auto* buttons = new QDialogButtonBox(m_Dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(text("Cancel", "キャンセル"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QString::number(kIdOk));
    cancel->setObjectName(QString::number(kIdCancel));
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, m_Dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, m_Dialog, &QDialog::reject);
    m_Grid->addWidget(buttons, m_Rows++, 0, 1, 2);
}
