#include "imaging/animation.h"

std::unique_ptr<CAnimationReader> OpenAvifAnimation(FILE*, ColourTarget)
{
    return nullptr;
}
