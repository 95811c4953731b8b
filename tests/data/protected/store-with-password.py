# Stores a presentation as an OpenDocument presentation protected by a password, through
# LibreOffice's own API (storeToURL with a Password). Run by make-fixtures.sh with LibreOffice's Python.
# Usage: python3 store-with-password.py IN OUT PASSWORD PIPE-NAME
import sys
import time

import uno
from com.sun.star.beans import PropertyValue


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


source, target, password, pipe = sys.argv[1:5]
resolver = uno.getComponentContext().ServiceManager.createInstanceWithContext(
    "com.sun.star.bridge.UnoUrlResolver", uno.getComponentContext())
for attempt in range(60):
    try:
        context = resolver.resolve(f"uno:pipe,name={pipe};urp;StarOffice.ComponentContext")
        break
    except Exception:
        time.sleep(1)
else:
    sys.exit("LibreOffice did not answer")
desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
document = desktop.loadComponentFromURL(uno.systemPathToFileUrl(source), "_blank", 0, (prop("Hidden", True),))
document.storeToURL(uno.systemPathToFileUrl(target),
                    (prop("FilterName", "impress8"), prop("Password", password)))
document.close(True)
try:
    desktop.terminate()
except Exception:
    pass  # the office ends as the bridge goes
