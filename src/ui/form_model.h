// Everything a window definition needs: the form, its controls, control arrays and timers.
#pragma once

#include "ui/basic_controls.h"
#include "ui/choice_controls.h"
#include "ui/control.h"
#include "ui/control_array.h"
#include "ui/form.h"
#include "ui/list_view.h"
#include "ui/timer.h"
