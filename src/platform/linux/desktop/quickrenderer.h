#pragma once

// Chooses how the program's Qt Quick windows are drawn; call before the first window exists. They are a small
// status panel and simple dialogs, which the software renderer draws in a few megabytes, where an OpenGL context
// per window costs tens (about 70 MiB with Mesa's software OpenGL). QT_QUICK_BACKEND, when set, decides instead.
void chooseQuickRenderer();
