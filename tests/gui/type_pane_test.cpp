// The element type pane: the orientation counter, the symbol shown for the current type,
// replacing a symbol from a metafile file, damaged symbols, and the focus caption colour.
#include "elements_support.h"

#include "dbaware/table_grid.h"
#include "elements/type_pane.h"
#include "metafile/metafile.h"
#include "platform/metafile_builder.h"
#include "widgets/image.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>

using dorvin::Metafile;
using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using namespace elements_test;

namespace {

// An EMF picture with a frame of w x h hundredths of a millimetre and one line in it.
std::string emfOfSize(int w, int h)
{
    return dorvin::test::EmfBuilder(w, h).rec(0x36 /* LINETO */, {50, 50}).build();
}

// A placeable WMF with 2540 units per inch, so one unit is a hundredth of a millimetre.
std::string wmfOfSize(int w, int h)
{
    return dorvin::test::WmfBuilder(0, 0, int16_t(w), int16_t(h), 2540)
        .rec(0x0213 /* LINETO */, {5, 5})
        .build();
}

std::string fieldBytes(TDataM& dm, int orientation)
{
    return dm.ClGroupsTable.fieldByName(dorvin::ugoFieldName(orientation)).asBytes();
}

void setSymbol(TDataM& dm, int group, int orientation, const std::string& bytes)
{
    QVERIFY(gotoType(dm, group));
    dm.ClGroupsTable.edit();
    dm.ClGroupsTable.fieldByName(dorvin::ugoFieldName(orientation)).setBytes(bytes);
    dm.ClGroupsTable.post();
}

std::string shownBytes(const TMainForm& form)
{
    return form.typePane().ugoPicture() ? form.typePane().ugoPicture()->picture->toBytes() : std::string();
}

} // namespace

class TypePaneTest : public QObject {
    Q_OBJECT

private slots:
    void init() { fake.resetScript(); }

    void rules();
    void orientationCyclesAndSurvivesTypeMoves();
    void emptyOrientationShowsEmptyBoxSilently();
    void captionNamesTheCurrentType();
    void extensionCheckRefusesWithWarning();
    void emfIsStoredUnchangedAndFitted();
    void wmfIsStoredAtATenthAndNotFitted();
    void fitThresholdAsThePaneAppliesIt();
    void cancelledDialogChangesNothing();
    void garbageFileIsReportedAndChangesNothing();
    void damagedSymbolInBaseIsReportedNotFatal();
    void dialogOptionsAndPreview();
    void captionTurnsBlueWithFocus();

private:
    FakeServices fake;
    ServicesGuard guard{fake};
};

void TypePaneTest::rules()
{
    QCOMPARE(dorvin::ugoFieldName(0), std::string("B1"));
    QCOMPARE(dorvin::ugoFieldName(7), std::string("B8"));
    QCOMPARE(dorvin::nextUgoOrientation(6), 7);
    QCOMPARE(dorvin::nextUgoOrientation(7), 0);

    QVERIFY(dorvin::isSymbolFileName("a.emf"));
    QVERIFY(dorvin::isSymbolFileName("/x/y/Symbol.WmF"));
    QVERIFY(dorvin::isSymbolFileName("C:\\pics\\amp.EMF"));
    QVERIFY(!dorvin::isSymbolFileName("a.bmp"));
    QVERIFY(!dorvin::isSymbolFileName("noextension"));
    QVERIFY(!dorvin::isSymbolFileName("a.emf.txt"));
    QVERIFY(!dorvin::isSymbolFileName("/pics.emf/file")); // the dot is in the folder
    QVERIFY(!dorvin::isSymbolFileName("a.emfx"));
    QVERIFY(!dorvin::isSymbolFileName("emf"));
}

void TypePaneTest::orientationCyclesAndSurvivesTypeMoves()
{
    ProgramWithBase program;
    TMainForm form;
    TDataM& dm = *form.DataM;
    QCOMPARE(form.OrLabel->text(), QStringLiteral("0"));
    QCOMPARE(form.typePane().ugoOrientation(), 0);

    // Clicks on the picture box turn the orientation.
    for (int i = 1; i <= 8; ++i) {
        QTest::mouseClick(form.UGOImage, Qt::LeftButton);
        QCOMPARE(form.typePane().ugoOrientation(), i % 8);
        QCOMPARE(form.OrLabel->text(), QString::number(i % 8));
        QCOMPARE(shownBytes(form), fieldBytes(dm, i % 8));
    }
    QCOMPARE(form.OrLabel->text(), QStringLiteral("0"));

    // At orientation 3, a move to another type keeps the digit and shows that type's B4.
    for (int i = 0; i < 3; ++i)
        form.typePane().ChangeOr();
    const std::string before = shownBytes(form);
    QVERIFY(gotoType(dm, 9)); // whose B4 differs from the first type's
    QCOMPARE(form.OrLabel->text(), QStringLiteral("3"));
    QCOMPARE(shownBytes(form), fieldBytes(dm, 3));
    QVERIFY(shownBytes(form) != before);
    QVERIFY(!form.UGOImage->isEmpty());
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
}

void TypePaneTest::emptyOrientationShowsEmptyBoxSilently()
{
    ProgramWithBase program([](TDataM& dm) { setSymbol(dm, 2, 1, std::string()); });
    TMainForm form;
    TDataM& dm = *form.DataM;
    QVERIFY(gotoType(dm, 2));
    const bool fitBefore = form.UGOImage->stretch();
    form.typePane().ChangeOr(); // to B2, which is empty
    QVERIFY(form.UGOImage->isEmpty());
    QVERIFY(form.typePane().ugoPicture()->picture->isEmpty());
    QCOMPARE(form.UGOImage->stretch(), fitBefore);
    QCOMPARE(fake.calls.size(), size_t(0));
    form.typePane().ChangeOr(); // B3 has a picture again
    QVERIFY(!form.UGOImage->isEmpty());
    QCOMPARE(shownBytes(form), fieldBytes(dm, 2));
}

void TypePaneTest::captionNamesTheCurrentType()
{
    ProgramWithBase program;
    TMainForm form;
    TDataM& dm = *form.DataM;
    QVERIFY(gotoType(dm, 2));
    QCOMPARE(form.ElemListGroupBox->title(), QStringLiteral("Все элементы типа: Усилители"));
    QVERIFY(gotoType(dm, 3));
    QCOMPARE(form.ElemListGroupBox->title(), QStringLiteral("Все элементы типа: Кабель"));
}

void TypePaneTest::extensionCheckRefusesWithWarning()
{
    ProgramWithBase program;
    TMainForm form;
    TDataM& dm = *form.DataM;
    // A valid EMF under each refused name: the content must not matter.
    const QByteArray emf = QByteArray::fromStdString(emfOfSize(1000, 1000));
    for (const QString& name :
         {QStringLiteral("pic.bmp"), QStringLiteral("pic"), QStringLiteral("pic.emf.txt")}) {
        QVERIFY(program.dir.writeFile(name, emf));
        fake.calls.clear();
        const std::string stored = fieldBytes(dm, 0);
        fake.openAnswers = {{program.dir.file(name)}};
        form.executeAction(form.ActionChangeUGO);
        QCOMPARE(fake.count(ServiceCall::Warning), 1);
        const ServiceCall* w = fake.last(ServiceCall::Warning);
        QCOMPARE(w->text, QStringLiteral("Файл с УГО элемента должен быть метафайлом ('*.WMF','*.EMF')."));
        QCOMPARE(w->caption, QStringLiteral("Неверный формат файла!"));
        QCOMPARE(fieldBytes(dm, 0), stored);
        QCOMPARE(dm.ClGroupsTable.state(), dorvin::TableState::Browse);
    }
    // Any letter case of the two extensions is accepted.
    QVERIFY(program.dir.writeFile("pic.EmF", emf));
    fake.calls.clear();
    fake.openAnswers = {{program.dir.file("pic.EmF")}};
    form.executeAction(form.ActionChangeUGO);
    QCOMPARE(fake.count(ServiceCall::Warning), 0);
    QCOMPARE(fieldBytes(dm, 0), emf.toStdString());
}

void TypePaneTest::emfIsStoredUnchangedAndFitted()
{
    ProgramWithBase program;
    TMainForm form;
    TDataM& dm = *form.DataM;
    QVERIFY(gotoType(dm, 4));
    form.typePane().ChangeOr();
    form.typePane().ChangeOr(); // orientation 2: B3
    const std::string emf = emfOfSize(5000, 3000);
    QVERIFY(program.dir.writeFile("big.emf", QByteArray::fromStdString(emf)));
    const std::string otherField = fieldBytes(dm, 1);
    fake.openAnswers = {{program.dir.file("big.emf")}};
    form.executeAction(form.ActionChangeUGO);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    QCOMPARE(dm.ClGroupsTable.state(), dorvin::TableState::Browse); // posted
    QCOMPARE(fieldBytes(dm, 2), emf);                               // byte for byte
    QCOMPARE(fieldBytes(dm, 1), otherField);                        // other orientations untouched
    QCOMPARE(form.typePane().ugoPicture()->picture->width(), 5000);
    QCOMPARE(form.typePane().ugoPicture()->picture->height(), 3000);
    QVERIFY(form.UGOImage->stretch());
    // Fitted: the picture fills the box's width.
    QCOMPARE(qRound(form.UGOImage->pictureRect().width()), form.UGOImage->width());

    // The change is part of the base written back on close.
    form.close();
    TDataM saved;
    saved.LoadBase(program.basePath().toStdString());
    QVERIFY(gotoType(saved, 4));
    QCOMPARE(fieldBytes(saved, 2), emf);
}

void TypePaneTest::wmfIsStoredAtATenthAndNotFitted()
{
    ProgramWithBase program;
    TMainForm form;
    TDataM& dm = *form.DataM;
    QVERIFY(program.dir.writeFile("tap.wmf", QByteArray::fromStdString(wmfOfSize(5000, 3000))));
    fake.openAnswers = {{program.dir.file("tap.wmf")}};
    form.executeAction(form.ActionChangeUGO);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    const std::string stored = fieldBytes(dm, 0);
    const Metafile back = Metafile::fromBytes(stored);
    QCOMPARE(back.form(), Metafile::Form::Wmf);
    QCOMPARE(back.width(), 500);
    QCOMPARE(back.height(), 300);
    QCOMPARE(int(back.wmfPlaceable().right - back.wmfPlaceable().left), 500);
    QCOMPARE(int(back.wmfPlaceable().bottom - back.wmfPlaceable().top), 300);
    // The stored header carries a valid checksum.
    QCOMPARE(Metafile::placeableChecksum(std::string_view(stored).substr(0, 20)),
             uint16_t(uint8_t(stored[20]) | (uint8_t(stored[21]) << 8)));
    QVERIFY(!form.UGOImage->stretch());
    QVERIFY(form.UGOImage->pictureRect().width() < form.UGOImage->width());
}

void TypePaneTest::fitThresholdAsThePaneAppliesIt()
{
    struct Case {
        int w, h;
        bool fit;
    };
    const Case cases[] = {{2000, 2000, false}, {2001, 1000, true}, {1000, 2001, true},
                          {2001, 2001, true},  {1, 1, false},      {2000, 1999, false}};
    ProgramWithBase program([&](TDataM& dm) {
        for (int i = 0; i < 6; ++i)
            setSymbol(dm, 5, i, emfOfSize(cases[i].w, cases[i].h));
    });
    TMainForm form;
    QVERIFY(gotoType(*form.DataM, 5));
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(form.typePane().ugoOrientation(), i);
        QVERIFY2(form.UGOImage->stretch() == cases[i].fit,
                 qPrintable(QStringLiteral("%1 x %2").arg(cases[i].w).arg(cases[i].h)));
        form.typePane().ChangeOr();
    }
}

void TypePaneTest::cancelledDialogChangesNothing()
{
    ProgramWithBase program;
    TMainForm form;
    const std::string before = fieldBytes(*form.DataM, 0);
    fake.openAnswers = {QStringList()};
    form.executeAction(form.ActionChangeUGO);
    QCOMPARE(fake.count(ServiceCall::OpenFiles), 1);
    QCOMPARE(fake.calls.size(), size_t(1));
    QCOMPARE(fieldBytes(*form.DataM, 0), before);
}

void TypePaneTest::garbageFileIsReportedAndChangesNothing()
{
    ProgramWithBase program;
    TMainForm form;
    TDataM& dm = *form.DataM;
    const std::string before = fieldBytes(dm, 0);
    const auto shown = form.typePane().ugoPicture()->picture;
    QVERIFY(program.dir.writeFile("junk.emf", QByteArray("this is not a picture at all, not even close")));
    QVERIFY(program.dir.writeFile("empty.wmf", QByteArray()));
    for (const QString& name :
         {QStringLiteral("junk.emf"), QStringLiteral("empty.wmf"), QStringLiteral("missing.emf")}) {
        fake.calls.clear();
        fake.openAnswers = {{program.dir.file(name)}};
        form.executeAction(form.ActionChangeUGO);
        QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
        QVERIFY(!fake.last(ServiceCall::ErrorReport)->text.isEmpty());
        QCOMPARE(fieldBytes(dm, 0), before);
        QCOMPARE(dm.ClGroupsTable.state(), dorvin::TableState::Browse);
        QCOMPARE(form.typePane().ugoPicture()->picture, shown); // the box keeps its picture
        QVERIFY(!form.UGOImage->isEmpty());
    }
}

void TypePaneTest::damagedSymbolInBaseIsReportedNotFatal()
{
    // The first type shown (by name) gets a damaged B1; another type a truncated one.
    QString firstName;
    ProgramWithBase program([&](TDataM& dm) {
        dm.ClGroupsTable.first();
        firstName = text(dm.ClGroupsTableGRNAME);
        dm.ClGroupsTable.edit();
        dm.ClGroupsTableB1.setBytes("garbage that is no metafile");
        dm.ClGroupsTable.post();
        const std::string emf = emfOfSize(1000, 1000);
        setSymbol(dm, 3, 0, emf.substr(0, 60));
    });
    TMainForm form;
    TDataM& dm = *form.DataM;
    // The base is open in spite of the damaged picture, which was reported.
    QVERIFY(form.ElemListGroupBox->isEnabled());
    QVERIFY(fake.count(ServiceCall::ErrorReport) >= 1);
    QCOMPARE(text(dm.ClGroupsTableGRNAME), firstName);
    QCOMPARE(form.ElemListGroupBox->title(), QStringLiteral("Все элементы типа: ") + firstName);
    QVERIFY(form.UGOImage->isEmpty());

    // Moving to another damaged type: reported, the move happens, the caption follows.
    fake.calls.clear();
    QVERIFY(gotoType(dm, 3));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(form.ElemListGroupBox->title(), QStringLiteral("Все элементы типа: Кабель"));
    QVERIFY(form.UGOImage->isEmpty());

    // Turning the orientation there: B2 is sound and shows.
    fake.calls.clear();
    QTest::mouseClick(form.UGOImage, Qt::LeftButton);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    QVERIFY(!form.UGOImage->isEmpty());
    // Back round to B1, which is damaged: the click's error is reported.
    for (int i = 0; i < 7; ++i)
        QTest::mouseClick(form.UGOImage, Qt::LeftButton);
    QCOMPARE(form.typePane().ugoOrientation(), 0);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QVERIFY(form.UGOImage->isEmpty());

    // A damaged symbol can be replaced by a sound one.
    const std::string emf = emfOfSize(1000, 1000);
    QVERIFY(program.dir.writeFile("fix.emf", QByteArray::fromStdString(emf)));
    fake.openAnswers = {{program.dir.file("fix.emf")}};
    form.executeAction(form.ActionChangeUGO);
    QCOMPARE(fieldBytes(dm, 0), emf);
    QVERIFY(!form.UGOImage->isEmpty());
}

void TypePaneTest::dialogOptionsAndPreview()
{
    ProgramWithBase program;
    TMainForm form;
    fake.openAnswers = {QStringList()};
    form.executeAction(form.ActionChangeUGO);
    const ServiceCall* call = fake.last(ServiceCall::OpenFiles);
    QVERIFY(call);
    QCOMPARE(call->options.title, QStringLiteral("Открыть файл УГО элемента"));
    QCOMPARE(call->options.filter, QStringLiteral("Метафайлы (*.emf;*.wmf)|*.emf;*.wmf"));
    QCOMPARE(call->options.defaultExtension, QStringLiteral("EMF"));
    QVERIFY(call->options.picturePreview);
    QVERIFY(!call->options.multiSelect);
    QVERIFY(call->options.previewRenderer);

    QVERIFY(program.dir.writeFile(
        "p.emf",
        QByteArray::fromStdString(dorvin::test::EmfBuilder(1000, 1000)
                                      .rec(0x25 /* SELECTOBJECT */, {int32_t(0x80000007) /* black pen */})
                                      .rec(0x1B /* MOVETOEX */, {0, 0})
                                      .rec(0x36 /* LINETO */, {100, 100})
                                      .build())));
    QVERIFY(program.dir.writeFile("bad.emf", QByteArray("nonsense")));
    const QImage preview = call->options.previewRenderer(program.dir.file("p.emf"), QSize(120, 100));
    QCOMPARE(preview.size(), QSize(100, 100));
    bool drawn = false;
    for (int y = 0; y < preview.height() && !drawn; ++y)
        for (int x = 0; x < preview.width() && !drawn; ++x)
            drawn = qGray(preview.pixel(x, y)) < 128;
    QVERIFY(drawn);
    QVERIFY(call->options.previewRenderer(program.dir.file("bad.emf"), QSize(100, 100)).isNull());
    QVERIFY(call->options.previewRenderer(program.dir.file("none.emf"), QSize(100, 100)).isNull());
}

void TypePaneTest::captionTurnsBlueWithFocus()
{
    ProgramWithBase program;
    TMainForm form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.DBGrid1->setFocus();
    QTRY_COMPARE(dorvin::captionColour(form.GroupBox2), QColor(0, 0, 255));
    // The caption as drawn: some pixel of the title row is clearly blue. The design font
    // is thin enough that antialiasing leaves no stroke fully pure blue.
    auto drawnBlue = [&form] {
        const QImage shot = form.GroupBox2->grab().toImage();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.blue() - std::max(c.red(), c.green()) > 120)
                    return true;
            }
        return false;
    };
    QVERIFY(drawnBlue());

    form.ElemDBGrid->setFocus();
    QTRY_COMPARE(dorvin::captionColour(form.GroupBox2), QColor(0, 0, 0));
    QVERIFY(!drawnBlue());
    QCOMPARE(dorvin::captionColour(form.ElemListGroupBox), QColor(0, 0, 255));
}

QTEST_MAIN(TypePaneTest)
#include "type_pane_test.moc"
