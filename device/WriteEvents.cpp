#include "device/WriteEvents.h"

WriteEvents *WriteEvents::instance()
{
    static WriteEvents events;
    return &events;
}
