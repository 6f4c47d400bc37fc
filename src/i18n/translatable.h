#pragma once

// Marks a text of a library without Qt for translation: lupdate collects it under the given
// context, and the Qt code that shows the text looks it up there with
// QCoreApplication::translate(context, text).
#define SKARNET2_TRANSLATABLE(context, text) text
