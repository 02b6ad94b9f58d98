#!/bin/sh
# Wine, with the address space of the program not randomised: with randomisation about one start
# in a few hundred fails before the program runs ("failed to map the shared user data").
exec setarch -R wine "$@"
