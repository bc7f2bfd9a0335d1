// The find dialog: its layout, the search on every change of the text, the field choice,
// hiding instead of closing, and Ctrl+F on the main window.
#include "elements_support.h"

#include "dbaware/table_grid.h"
#include "elements/find_form.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using namespace elements_test;

namespace {

void addElement(TDataM& dm, int group, int elem, const QString& model, const QString& code)
{
    QVERIFY(gotoType(dm, group));
    dm.ClElemsTable.append();
    dm.ClElemsTableELEM.setInteger(elem);
    dm.ClElemsTableMODEL.setString(cp(model));
    dm.ClElemsTableCODE.setString(cp(code));
    dm.ClElemsTable.post();
}

// Type 3: "Alpha" (A1), "Beta" (B2), "Кабель" (K3), "Zeta" and "Delta" sharing code S9.
// Type 2: "Omega" (O1).
void findBase(TDataM& dm)
{
    addElement(dm, 3, 1, QStringLiteral("Alpha"), QStringLiteral("A1"));
    addElement(dm, 3, 2, QStringLiteral("Beta"), QStringLiteral("B2"));
    addElement(dm, 3, 3, QStringLiteral("Кабель"), QStringLiteral("K3"));
    addElement(dm, 3, 4, QStringLiteral("Zeta"), QStringLiteral("S9"));
    addElement(dm, 3, 5, QStringLiteral("Delta"), QStringLiteral("S9"));
    addElement(dm, 2, 1, QStringLiteral("Omega"), QStringLiteral("O1"));
}

// The next widget the Tab key reaches (the combo's own line edit stands for the combo).
QWidget* nextTabStop(QWidget* from)
{
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus))
            continue;
        if (w->focusProxy())
            return w->focusProxy();
        if (auto* combo = qobject_cast<QComboBox*>(w->parentWidget()); combo && combo->lineEdit() == w)
            return combo;
        return w;
    }
    return nullptr;
}

QString currentModel(TMainForm& form)
{
    return text(form.DataM->ClElemsTableMODEL);
}

} // namespace

class FindFormTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        fake.calls.clear();
        base = std::make_unique<ProgramWithBase>(findBase);
        form = std::make_unique<TMainForm>();
        QVERIFY(gotoType(*form->DataM, 3));
        form->DataM->ClElemsTable.first();
        dialog = std::make_unique<TFindForm>();
        dialog->setEditor(form.get());
        fake.calls.clear();
    }
    void cleanup()
    {
        dialog.reset();
        form.reset();
        base.reset();
    }

    void layoutAndTexts()
    {
        QCOMPARE(dialog->objectName(), QStringLiteral("FindForm"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Поиск элемента"));
        QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->size(), QSize(245, 95));
        QCOMPARE(dialog->GroupBox2->title(), QStringLiteral("Найти текст:"));
        QCOMPARE(dialog->Label1->text(), QStringLiteral("В поле:"));
        QCOMPARE(dialog->Button3->text(), QStringLiteral("Закрыть"));
        QCOMPARE(dialog->FieldCombo->count(), 2);
        QCOMPARE(dialog->FieldCombo->itemText(0), QStringLiteral("Код"));
        QCOMPARE(dialog->FieldCombo->itemText(1), QStringLiteral("Наименование"));
        QVERIFY(dialog->FieldCombo->isEditable());
        // FormCreate chose "Код", with the code's length limit.
        QCOMPARE(dialog->FieldCombo->currentIndex(), 0);
        QCOMPARE(dialog->searchedField(), QStringLiteral("CODE"));
        QCOMPARE(dialog->FindTextEdit->maxLength(), 10);
        QVERIFY(dialog->FieldListBox->isHidden());
        QCOMPARE(nextTabStop(dialog->FindTextEdit), static_cast<QWidget*>(dialog->Button3));
        QCOMPARE(nextTabStop(dialog->Button3), static_cast<QWidget*>(dialog->FieldCombo));
    }

    void codeTextIsLimitedToTenCharactersAndChoosingAFieldClearsIt()
    {
        dialog->FindTextEdit->setText(QStringLiteral("0123456789ABC"));
        QCOMPARE(dialog->FindTextEdit->text(), QStringLiteral("0123456789"));

        chooseField(1);
        QCOMPARE(dialog->FindTextEdit->text(), QString());
        QCOMPARE(dialog->searchedField(), QStringLiteral("MODEL"));
        const QString longName(40, QLatin1Char('x'));
        dialog->FindTextEdit->setText(longName);
        QCOMPARE(dialog->FindTextEdit->text(), longName);

        chooseField(0);
        QCOMPARE(dialog->FindTextEdit->text(), QString());
        QCOMPARE(dialog->FindTextEdit->maxLength(), 10);
    }

    void typingAModelNameFindsItOnlyWhenWholeAndBeepsOnce()
    {
        chooseField(1);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->FindTextEdit->setFocus();
        form->DataM->ClElemsTable.first();
        QTest::keyClicks(dialog->FindTextEdit, QStringLiteral("Delt"));
        QCOMPARE(currentModel(*form), QStringLiteral("Alpha"));
        QCOMPARE(fake.count(ServiceCall::Beep), 0);
        QTest::keyClicks(dialog->FindTextEdit, QStringLiteral("a"));
        QCOMPARE(currentModel(*form), QStringLiteral("Delta"));
        QCOMPARE(fake.count(ServiceCall::Beep), 1);
        QTest::keyClicks(dialog->FindTextEdit, QStringLiteral("x"));
        QCOMPARE(currentModel(*form), QStringLiteral("Delta"));
        QCOMPARE(fake.count(ServiceCall::Beep), 1);
        QCOMPARE(fake.count(ServiceCall::Message), 0);

        // Cyrillic text is compared as the base stores it.
        dialog->FindTextEdit->setText(QStringLiteral("Кабель"));
        QCOMPARE(currentModel(*form), QStringLiteral("Кабель"));
        QCOMPARE(fake.count(ServiceCall::Beep), 2);
    }

    void letterCaseAndOtherTypesAreNotMatched()
    {
        chooseField(1);
        dialog->FindTextEdit->setText(QStringLiteral("beta"));
        dialog->FindTextEdit->setText(QStringLiteral("КАБЕЛЬ"));
        dialog->FindTextEdit->setText(QStringLiteral("Omega"));
        QCOMPARE(currentModel(*form), QStringLiteral("Alpha"));
        QCOMPARE(fake.count(ServiceCall::Beep), 0);

        // Once its type is current, the element is found.
        QVERIFY(gotoType(*form->DataM, 2));
        dialog->FindTextEdit->setText(QString());
        dialog->FindTextEdit->setText(QStringLiteral("Omega"));
        QCOMPARE(currentModel(*form), QStringLiteral("Omega"));
        QCOMPARE(fake.count(ServiceCall::Beep), 1);
    }

    void ofTwoEqualCodesTheFirstModelNameWinsAndTheColumnFollowsTheField()
    {
        dialog->FindTextEdit->setText(QStringLiteral("S9"));
        QCOMPARE(currentModel(*form), QStringLiteral("Delta"));
        QCOMPARE(form->ElemDBGrid->currentIndex().column(), 0);
        QCOMPARE(form->ElemDBGrid->currentIndex().row(), form->DataM->ClElemsTable.currentIndex());

        chooseField(1);
        dialog->FindTextEdit->setText(QStringLiteral("Zeta"));
        QCOMPARE(currentModel(*form), QStringLiteral("Zeta"));
        QCOMPARE(form->ElemDBGrid->currentIndex().column(), 1);
        QCOMPARE(form->ElemDBGrid->currentIndex().row(), form->DataM->ClElemsTable.currentIndex());
    }

    void aSearchPostsAnElementBeingInserted()
    {
        TDataM& dm = *form->DataM;
        form->executeAction(form->ActionAdd);
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Insert);
        dm.ClElemsTableMODEL.setString("Gamma");
        dialog->FindTextEdit->setText(QStringLiteral("none"));
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Browse);
        QCOMPARE(dm.ClElemsTable.recordCount(), 6);
        QCOMPARE(fake.count(ServiceCall::Beep), 0);
    }

    void aComboTextNamingNoFieldSearchesNothingAndChangesNothing()
    {
        TDataM& dm = *form->DataM;
        dialog->FieldCombo->setEditText(QStringLiteral("Цена"));
        QCOMPARE(dialog->searchedField(), QString());
        form->executeAction(form->ActionAdd);
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Insert);
        dialog->FindTextEdit->setText(QStringLiteral("A1"));
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Insert); // still pending
        QCOMPARE(fake.count(ServiceCall::Beep), 0);
        dm.ClElemsTable.cancel();

        // The item names match without regard to letter case.
        dialog->FieldCombo->setEditText(QStringLiteral("кОД"));
        QCOMPARE(dialog->searchedField(), QStringLiteral("CODE"));
        dialog->FindTextEdit->setText(QStringLiteral("B2"));
        QCOMPARE(currentModel(*form), QStringLiteral("Beta"));
        QCOMPARE(fake.count(ServiceCall::Beep), 1);
    }

    void closingHidesAndKeepsTextAndField()
    {
        QPointer<TFindForm> kept = dialog.get();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        chooseField(1);
        dialog->FindTextEdit->setText(QStringLiteral("Bet"));

        dialog->Button3->click();
        QVERIFY(dialog->isHidden());
        dialog->show();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isHidden());
        dialog->show();
        QVERIFY(dialog->close());
        QVERIFY(dialog->isHidden());
        QVERIFY(kept);

        dialog->show();
        QCOMPARE(dialog->FindTextEdit->text(), QStringLiteral("Bet"));
        QCOMPARE(dialog->FieldCombo->currentText(), QStringLiteral("Наименование"));
        QCOMPARE(dialog->searchedField(), QStringLiteral("MODEL"));
    }

    void aDestroyedEditorLeavesNothingToSearch()
    {
        form.reset();
        QVERIFY(!dialog->editor());
        dialog->FindTextEdit->setText(QStringLiteral("A1")); // must not touch a dead window
        QCOMPARE(fake.count(ServiceCall::Beep), 0);
        QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    }

    void ctrlFShowsTheOneDialogWithoutBlockingTheWindow()
    {
        // Without a dialog made at start-up (a host program's editor), the first use makes
        // one, owned by that editor.
        QVERIFY(!FindForm);
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keySequence(form.get(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QVERIFY(FindForm);
        QTRY_VERIFY(FindForm->isVisible());
        QVERIFY(!FindForm->isModal());
        QCOMPARE(FindForm->editor(), form.get());
        QCOMPARE(FindForm->parent(), form.get());
        TFindForm* first = FindForm;
        first->FindTextEdit->setText(QStringLiteral("K3"));
        QCOMPARE(currentModel(*form), QStringLiteral("Кабель"));

        first->hide();
        form->elementExchange().FindClick();
        QCOMPARE(FindForm.data(), first);
        QVERIFY(first->isVisible());
        QCOMPARE(first->FindTextEdit->text(), QStringLiteral("K3"));

        form.reset();
        QVERIFY(!FindForm);
    }

private:
    void chooseField(int index)
    {
        dialog->FieldCombo->setCurrentIndex(index);
        emit dialog->FieldCombo->activated(index);
    }

    FakeServices fake;
    ServicesGuard guard{fake};
    std::unique_ptr<ProgramWithBase> base;
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TFindForm> dialog;
};

QTEST_MAIN(FindFormTest)
#include "find_form_test.moc"
