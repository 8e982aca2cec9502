#pragma once

/// Dynamic property of a tree model holding its check mode: 0 (or no property) keeps check
/// boxes independent, any other value links parents and children. The tree view sets it from
/// its display option and a host may set it itself, so the model re-reads it on every change.
constexpr char CheckTypeProperty[] = "checkType";
