#!/bin/sh
# Stands in for the installer module program Module/ZU_VAZUZA.DAT until the real module is
# built: a build can stage it as INSTALL.EXE, but running it only says that it is not the module.
echo "ZU_VAZUZA: the installer module program has not been built" >&2
exit 1
