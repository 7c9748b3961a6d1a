"""An encoder of the copy formats written apart from the viewer's, from
Python's own bytes and base64: reads a file, writes its bytes in one form."""
import base64
import sys


def c_array(data):
    lines = [", ".join("0x%02x" % b for b in data[i:i + 12]) for i in range(0, len(data), 12)]
    body = ",\n".join("    " + line for line in lines)
    return "unsigned char data[%d] = {\n" % len(data) + (body + "\n" if body else "") + "};"


def python_bytes(data):
    text = 'b"' + "".join("\\x%02x" % b for b in data) + '"'
    assert eval(text) == data  # the literal is what Python reads back
    return text


FORMS = {
    "hex": lambda data: data.hex(),
    "c": c_array,
    "python": python_bytes,
    "base64": lambda data: base64.b64encode(data).decode("ascii"),
}

form, path = sys.argv[1], sys.argv[2]
with open(path, "rb") as source:
    sys.stdout.write(FORMS[form](source.read()))
