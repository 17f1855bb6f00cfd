// macOS: tell the system that the monitor works for the user while it runs.
#include "app/platform.h"

#import <Foundation/Foundation.h>

namespace platform {

void beginUserActivity()
{
    // Held for the whole run (compiled with ARC): ending the activity would
    // let the system throttle the timers again.
    static id<NSObject> activity =
        [[NSProcessInfo processInfo] beginActivityWithOptions:NSActivityUserInitiated
                                                       reason:@"Polling the controller"];
    (void)activity;
}

} // namespace platform
