#pragma once

#include <QtGlobal>

// What the programs say of this system's port numbers: the last one, how --port's refusal ends
// the range, what a user who typed Windows' name of port 23 is told to type, and why port 17
// does not open.
#ifdef Q_OS_WIN
#define LAST_PORT u"255"
#define PORT_RANGE u"255 (COM23 is port 23)"
#define TYPE_23 u"; type 23"
#define PORT_17_REASON u"no such port"
#else
#define LAST_PORT u"16"
#define PORT_RANGE u"16"
#define TYPE_23 u""
#define PORT_17_REASON u"ports are numbered 1 to 16"
#endif
