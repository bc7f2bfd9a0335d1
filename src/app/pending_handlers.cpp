// Handlers of the panes whose own files do not define them yet. Each section goes away when
// the pane's files define its handlers.
#include "app/main_form.h"

#include "dbaware/db_navigator.h"
