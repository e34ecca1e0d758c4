// A test view that fills its bounds with one colour and counts its draws.
#pragma once

#include "ui/UIBezierPath.h"
#include "ui/UIView.h"

class Swatch : public pf::UIView {
public:
    Swatch(const pf::CGRect& f, pf::UIColor c) : pf::UIView(f), color(c) {}
    void draw(const pf::CGRect& rect) override {
        ++draws;
        color.setFill();
        pf::UIBezierPath::rect(rect).fill();
    }
    pf::UIColor color;
    int draws = 0;
};
