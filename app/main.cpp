#include "app/program_entry.h"
#include "desktop/desktop_control.h"

int main()
{
    return programEntry(startDesktopControl);
}
