#!/usr/bin/env bash
# The main job: a whole update against the local stand-in of the update service, with its window.
set -euo pipefail
echo "The updater program is not built yet: this command will run a whole update of a sample"
echo "café installation against the local stand-in service, with the updater's window, once it is."
exit 1
