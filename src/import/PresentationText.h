#pragma once

#include "office/PresentationServer.h"

#include <QString>

namespace quorvane::import {

// All the text of one presentation: for every shape with a text frame, slide by slide and shape by
// shape, its text followed by CR LF. Drives the presentation server (create and show, attach, open,
// walk, save, quit). Any failure ends it at once and passes to the caller, leaving the server
// running with the presentation open; nothing is returned then. A damaged file that still gives text
// is read to the end and the server quits; then PartialReadError carries that text and what was lost.
QString PresentationText(office::PresentationServer& server, const QString& path);

} // namespace quorvane::import
