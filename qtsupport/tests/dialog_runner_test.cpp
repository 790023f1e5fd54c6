#include "qtsupport/dialog_runner.h"

#include "qtsupport/gui_test.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace qtsupport;
using qtsupport::testing::Find;

namespace {

// A dialog whose OK refuses an empty name and stays open.
class NameDialog : public QDialog {
public:
    NameDialog() {
        setObjectName("frmName");
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        edit->setObjectName("edtName");
        layout->addWidget(edit);
        auto* ok = new QPushButton("OK", this);
        ok->setObjectName("btnOk");
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, [this] {
            ++checks;
            if (!edit->text().isEmpty()) accept();
        });
    }
    QLineEdit* edit;
    int checks = 0;
};

}  // namespace

TEST(ScriptedDialogRunner, TheScriptFillsTheDialogAndItsOwnOkRunsTheCheck) {
    ScriptedDialogRunner runner;
    runner.Queue([](QDialog& d) {
        EXPECT_TRUE(ClickButton(d, "btnOk"));
        EXPECT_TRUE(d.isVisible()) << "an empty name keeps the dialog open";
        Find<QLineEdit>(d, "edtName")->setText("x");
        EXPECT_TRUE(ClickButton(d, "btnOk"));
    });
    NameDialog dialog;
    EXPECT_EQ(runner.Run(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.checks, 2);
    EXPECT_EQ(runner.shown(), std::vector<QString>{"frmName"});
}

TEST(ScriptedDialogRunner, ADialogLeftOpenOrWithoutScriptIsCancelled) {
    ScriptedDialogRunner runner;
    runner.Queue([](QDialog& d) { ClickButton(d, "btnOk"); });
    NameDialog first;
    EXPECT_EQ(runner.Run(first), QDialog::Rejected);
    EXPECT_FALSE(first.isVisible());
    NameDialog second;
    second.edit->setText("filled");
    EXPECT_EQ(runner.Run(second), QDialog::Rejected);
    EXPECT_EQ(second.checks, 0);
}

TEST(ClickButton, FindsButtonBoxRolesAndRefusesDisabledButtons) {
    QDialog d;
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    QObject::connect(box, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    box->button(QDialogButtonBox::Cancel)->setEnabled(false);
    d.show();
    EXPECT_FALSE(ClickButton(d, "cancel"));
    EXPECT_FALSE(ClickButton(d, "btnMissing"));
    EXPECT_TRUE(ClickButton(d, "ok"));
    EXPECT_EQ(d.result(), QDialog::Accepted);
}
