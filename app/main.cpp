#include "app/program_entry.h"

int main()
{
    return programEntry();
}
