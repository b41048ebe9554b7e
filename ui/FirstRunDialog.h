// The choice at the first start, with no account yet: "Setup Email Accounts"
// (1) or "Launch the program" (2), two buttons drawn with their pictures.
#pragma once
#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Handles.h"

class FirstRunDialog : public Dialog {
public:
    FirstRunDialog();

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void draw(const DRAWITEMSTRUCT& item);

    ImageListHandle pictures_;  // setup, setup hot, launch, launch hot
    int size_ = 0;              // the pictures' height
    int hot_ = 0;               // the button under the mouse
};
