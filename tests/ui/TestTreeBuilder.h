// Test helper: builds a control tree from layout markup the way the dialog builder does, so
// that the tests exercise the controls' attribute tables for real: "Font" and "Default"
// children of the root register fonts and default attribute lists; every other element is
// made by CControlFactory, its children built first, then it is added to its parent and
// given the default list of its element name and its own attributes, in document order.
//
// Contract: the test's thread. The caller owns the returned tree (normally handing it to
// CWindowHostUI::AttachDialog). Null when the markup does not parse or holds no control;
// unknown elements are skipped.
#pragma once

#include "ui/ControlUI.h"
#include "ui/WindowHostUI.h"

namespace testing_support {

SkinUI::CControlUI* BuildTree(const wchar_t* markup, SkinUI::CWindowHostUI& host);

}  // namespace testing_support
