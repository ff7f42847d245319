#pragma once

#include "platform/winmsg.h"

struct Model;

// Left button down on the view at the click position packed in lParam.
void leftButtonDown(Model& m, winmsg::LParam lParam);
// Left button up: the pointer goes back to the standard arrow.
void leftButtonUp(Model& m);
