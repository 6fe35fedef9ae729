// Stateless easing curves (Penner's equations). t is the elapsed time, b the
// start value, c the change (end - start) and d the duration, t and d in one
// unit (milliseconds here).
#pragma once

namespace ui {

class Easing {
public:
    virtual float EaseIn(float t, float b, float c, float d) const = 0;
    virtual float EaseOut(float t, float b, float c, float d) const = 0;
    virtual float EaseInOut(float t, float b, float c, float d) const = 0;

protected:
    ~Easing() = default; // the instances live for the whole process
};

#define UI_DECLARE_EASING(Name)                                          \
    class Name : public Easing {                                         \
    public:                                                              \
        float EaseIn(float t, float b, float c, float d) const override;    \
        float EaseOut(float t, float b, float c, float d) const override;   \
        float EaseInOut(float t, float b, float c, float d) const override; \
    };

UI_DECLARE_EASING(Linear)
UI_DECLARE_EASING(Sine)
UI_DECLARE_EASING(Quint)
UI_DECLARE_EASING(Quart)
UI_DECLARE_EASING(Quad)
UI_DECLARE_EASING(Expo)
UI_DECLARE_EASING(Elastic)
UI_DECLARE_EASING(Cubic)
UI_DECLARE_EASING(Circ)
UI_DECLARE_EASING(Bounce)
UI_DECLARE_EASING(Back)

#undef UI_DECLARE_EASING

// Type indexes as stored in skins and passed by controls.
enum EasingType : short {
    kEaseLinear = 0,
    kEaseSine = 1,
    kEaseQuint = 2,
    kEaseQuart = 3,
    kEaseQuad = 4,
    kEaseExpo = 5,
    kEaseElastic = 6,
    kEaseCubic = 7,
    kEaseCirc = 8,
    kEaseBounce = 9,
    kEaseBack = 10,
    kEaseTypeCount = 11,
};

enum EasingMode : short {
    kEaseModeIn = 0,
    kEaseModeOut = 1,
    kEaseModeInOut = 2,
};

// The process-wide instance of a type index 0-10; null for any other index.
const Easing* GetEasing(int type);

// Evaluates one curve by type and mode; an unknown type or mode gives 0.
float EaseValue(int type, int mode, float t, float b, float c, float d);

} // namespace ui
