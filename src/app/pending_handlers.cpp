// Handlers of the panes whose own files do not define them yet. Each section goes away when
// the pane's files define its handlers.
#include "app/main_form.h"

#include "dbaware/db_navigator.h"

// --- parameter grid, fill, clipboard, chart (src/params/*.cpp)
void TMainForm::RefreshParamValues() {}
void TMainForm::CommitParamCell() {}
void TMainForm::ParamsTableAfterScroll() {}
void TMainForm::ParamsTableBeforeScroll() {}
void TMainForm::ParamsSourceStateChange() {}
void TMainForm::ParamsGridSelectCell(int, int, bool&) {}
void TMainForm::ParamsGridKeyDown(int&, Qt::KeyboardModifiers) {}
void TMainForm::ParamsGridMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}
void TMainForm::ParamsGridMouseMove(Qt::KeyboardModifiers, int, int) {}
void TMainForm::ParamsGridMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}
void TMainForm::Timer1Timer() {}
void TMainForm::ParamsGridSelectionCh() {}
void TMainForm::ParamsGridEnter() {}
void TMainForm::ParamsGridExit() {}
void TMainForm::TopButClick() {}
void TMainForm::UpButClick() {}
void TMainForm::DownButClick() {}
void TMainForm::ButtomButClick() {}
void TMainForm::AppButClick() {}
void TMainForm::CancelClick() {}
void TMainForm::DBNavigator2Click(dorvin::NavigateBtn) {}
void TMainForm::SelectAllClick() {}
void TMainForm::ActionSelectAllUpdate() {}
void TMainForm::ActionApplyUpdate() {}
void TMainForm::ActionCancelUpdate() {}
void TMainForm::EditMenuPopup() {}
void TMainForm::FillDownClick() {}
void TMainForm::FillUpClick() {}
void TMainForm::CmExtraClick() {}
void TMainForm::ActionFillDownUpdate() {}
void TMainForm::ActionFillUpUpdate() {}
void TMainForm::ActionInterUpdate() {}
void TMainForm::CopyItemClick() {}
void TMainForm::PasteItemClick() {}
void TMainForm::ActionCopyParamsUpdate() {}
void TMainForm::ActionPastParamsUpdate() {}
void TMainForm::RebuildResponseChart() {}
void TMainForm::Chart2AfterDraw() {}
void TMainForm::Chart1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}
void TMainForm::ActionPrintGraphExecute() {}
void TMainForm::ActionSaveGraphAsPictureExecute() {}
