"""A SiLA 2 client that knows only the standard.

The framework's message types are written here from the standard's SiLAFramework.proto. Every
feature's gRPC service and messages are built at run time from the Feature Definition the server
returns, by the standard's mapping rules; nothing of the server's own .proto files is used, so a
Feature Definition that does not match what the server serves shows up as a failing call.
"""

import base64
import xml.etree.ElementTree as ET

import grpc
from google.protobuf import descriptor_pb2, descriptor_pool, message_factory

FDL_NS = "{http://www.sila-standard.org}"
FRAMEWORK_PACKAGE = "sila2.org.silastandard"
FRAMEWORK_FILE = "SiLAFramework.proto"

_F = descriptor_pb2.FieldDescriptorProto
_SCALARS = {
    "string": _F.TYPE_STRING,
    "int64": _F.TYPE_INT64,
    "int32": _F.TYPE_INT32,
    "uint32": _F.TYPE_UINT32,
    "double": _F.TYPE_DOUBLE,
    "bool": _F.TYPE_BOOL,
    "bytes": _F.TYPE_BYTES,
}

# The framework's messages: (name, [(field, type, number, oneof)], {nested enum: [values]}).
# A type that is not a scalar is a framework message or a nested enum.
_FRAMEWORK = [
    ("String", [("value", "string", 1, None)], {}),
    ("Integer", [("value", "int64", 1, None)], {}),
    ("Real", [("value", "double", 1, None)], {}),
    ("Boolean", [("value", "bool", 1, None)], {}),
    ("Binary", [("value", "bytes", 1, "union"), ("binaryTransferUUID", "string", 2, "union")], {}),
    ("Date", [("day", "uint32", 1, None), ("month", "uint32", 2, None),
              ("year", "uint32", 3, None), ("timezone", "Timezone", 4, None)], {}),
    ("Time", [("second", "uint32", 1, None), ("minute", "uint32", 2, None),
              ("hour", "uint32", 3, None), ("timezone", "Timezone", 4, None)], {}),
    ("Timestamp", [("second", "uint32", 1, None), ("minute", "uint32", 2, None),
                   ("hour", "uint32", 3, None), ("day", "uint32", 4, None),
                   ("month", "uint32", 5, None), ("year", "uint32", 6, None),
                   ("timezone", "Timezone", 7, None)], {}),
    ("Timezone", [("hours", "int32", 1, None), ("minutes", "uint32", 2, None)], {}),
    ("Any", [("type", "string", 1, None), ("payload", "bytes", 2, None)], {}),
    ("Duration", [("seconds", "int64", 1, None), ("nanos", "int32", 2, None)], {}),
    ("CommandExecutionUUID", [("value", "string", 1, None)], {}),
    ("CommandConfirmation", [("commandExecutionUUID", "CommandExecutionUUID", 1, None),
                             ("lifetimeOfExecution", "Duration", 2, None)], {}),
    ("ExecutionInfo", [("commandStatus", "ExecutionInfo.CommandStatus", 1, None),
                       ("progressInfo", "Real", 2, None),
                       ("estimatedRemainingTime", "Duration", 3, None),
                       ("updatedLifetimeOfExecution", "Duration", 4, None)],
     {"CommandStatus": ["waiting", "running", "finishedSuccessfully", "finishedWithError"]}),
    ("SiLAError", [("validationError", "ValidationError", 1, "error"),
                   ("definedExecutionError", "DefinedExecutionError", 2, "error"),
                   ("undefinedExecutionError", "UndefinedExecutionError", 3, "error"),
                   ("frameworkError", "FrameworkError", 4, "error")], {}),
    ("ValidationError", [("parameter", "string", 1, None), ("message", "string", 2, None)], {}),
    ("DefinedExecutionError", [("errorIdentifier", "string", 1, None),
                               ("message", "string", 2, None)], {}),
    ("UndefinedExecutionError", [("message", "string", 1, None)], {}),
    ("FrameworkError", [("errorType", "FrameworkError.ErrorType", 1, None),
                        ("message", "string", 2, None)],
     {"ErrorType": ["COMMAND_EXECUTION_NOT_ACCEPTED", "INVALID_COMMAND_EXECUTION_UUID",
                    "COMMAND_EXECUTION_NOT_FINISHED", "INVALID_METADATA",
                    "NO_METADATA_ALLOWED"]}),
]

BASIC_TYPES = ("String", "Integer", "Real", "Boolean", "Binary", "Date", "Time", "Timestamp",
               "Any")


def _framework_file():
    f = descriptor_pb2.FileDescriptorProto(name=FRAMEWORK_FILE, package=FRAMEWORK_PACKAGE,
                                           syntax="proto3")
    for name, fields, enums in _FRAMEWORK:
        m = f.message_type.add(name=name)
        for enum_name, values in enums.items():
            e = m.enum_type.add(name=enum_name)
            for number, value in enumerate(values):
                e.value.add(name=value, number=number)
        oneofs = []
        for field, ftype, number, oneof in fields:
            fd = m.field.add(name=field, number=number, label=_F.LABEL_OPTIONAL, json_name=field)
            if ftype in _SCALARS:
                fd.type = _SCALARS[ftype]
            elif ftype.split(".")[-1] in enums or "." in ftype:
                fd.type = _F.TYPE_ENUM
                fd.type_name = "." + FRAMEWORK_PACKAGE + "." + ftype
            else:
                fd.type = _F.TYPE_MESSAGE
                fd.type_name = "." + FRAMEWORK_PACKAGE + "." + ftype
            if oneof:
                if oneof not in oneofs:
                    oneofs.append(oneof)
                    m.oneof_decl.add(name=oneof)
                fd.oneof_index = oneofs.index(oneof)
    return f


def _message_class(factory, descriptor):
    get = getattr(message_factory, "GetMessageClass", None)
    return get(descriptor) if get else factory.GetPrototype(descriptor)


class SilaError(Exception):
    """A SiLA error from the server: kind is validation, defined, undefined or framework."""

    def __init__(self, kind, message, parameter="", identifier="", error_type=""):
        super().__init__(f"{kind} error: {identifier or parameter or error_type} {message}")
        self.kind = kind
        self.message = message
        self.parameter = parameter
        self.identifier = identifier
        self.error_type = error_type


class ProtocolFault(Exception):
    """The server broke the standard: a status other than ABORTED for an error, or details that
    are not a SiLAError."""


class Framework:
    """The framework's message classes, in a pool of their own that the features extend."""

    def __init__(self):
        self.pool = descriptor_pool.DescriptorPool()
        self.factory = message_factory.MessageFactory(self.pool)
        self.pool.Add(_framework_file())
        self.types = {name: self.message(name) for name, _, _ in _FRAMEWORK}

    def message(self, full_or_short):
        name = full_or_short if "." in full_or_short else FRAMEWORK_PACKAGE + "." + full_or_short
        return _message_class(self.factory, self.pool.FindMessageTypeByName(name))

    def decode_error(self, rpc_error):
        """The SiLAError an RpcError carries; ProtocolFault when it is not one by the standard."""
        if rpc_error.code() != grpc.StatusCode.ABORTED:
            raise ProtocolFault(f"status {rpc_error.code()} ({rpc_error.details()})") from rpc_error
        try:
            raw = base64.b64decode(rpc_error.details() or "", validate=True)
            err = self.types["SiLAError"].FromString(raw)
        except Exception as exc:
            raise ProtocolFault(f"details are not a base64 SiLAError: {rpc_error.details()!r}") \
                from exc
        which = err.WhichOneof("error")
        if which == "validationError":
            v = err.validationError
            return SilaError("validation", v.message, parameter=v.parameter)
        if which == "definedExecutionError":
            d = err.definedExecutionError
            return SilaError("defined", d.message, identifier=d.errorIdentifier)
        if which == "undefinedExecutionError":
            return SilaError("undefined", err.undefinedExecutionError.message)
        if which == "frameworkError":
            f = err.frameworkError
            name = self.types["FrameworkError"].ErrorType.Name(f.errorType)
            return SilaError("framework", f.message, error_type=name)
        raise ProtocolFault("a SiLAError with no error set")


def _child(element, name):
    return element.find(FDL_NS + name)


def _children(element, name):
    return element.findall(FDL_NS + name)


def _text(element, name):
    found = _child(element, name)
    return found.text.strip() if found is not None and found.text else ""


class DataType:
    """A data type of the Feature Definition: basic, list, structure, or a defined type; the
    constraints of a constrained type are kept for the tests to read."""

    def __init__(self, kind, basic="", element=None, fields=None, identifier="",
                 constraints=None):
        self.kind = kind              # "basic", "list", "structure", "identifier"
        self.basic = basic
        self.element = element        # DataType of a list
        self.fields = fields or []    # [(identifier, DataType)] of a structure
        self.identifier = identifier  # defined type's identifier
        self.constraints = constraints or {}

    @staticmethod
    def parse(data_type):
        choice = list(data_type)[0]
        tag = choice.tag.replace(FDL_NS, "")
        if tag == "Basic":
            return DataType("basic", basic=choice.text.strip())
        if tag == "List":
            return DataType("list", element=DataType.parse(_child(choice, "DataType")))
        if tag == "Structure":
            fields = [(_text(e, "Identifier"), DataType.parse(_child(e, "DataType")))
                      for e in _children(choice, "Element")]
            return DataType("structure", fields=fields)
        if tag == "DataTypeIdentifier":
            return DataType("identifier", identifier=choice.text.strip())
        if tag == "Constrained":
            inner = DataType.parse(_child(choice, "DataType"))
            for c in _child(choice, "Constraints"):
                name = c.tag.replace(FDL_NS, "")
                if len(c):
                    inner.constraints[name] = [(x.tag.replace(FDL_NS, ""), (x.text or "").strip())
                                               for x in c]
                else:
                    inner.constraints[name] = (c.text or "").strip()
                for key, value in c.attrib.items():
                    inner.constraints[name + "@" + key] = value
            return inner
        raise ValueError("unknown data type " + tag)


class Element:
    def __init__(self, xml):
        self.identifier = _text(xml, "Identifier")
        self.display_name = _text(xml, "DisplayName")
        self.description = _text(xml, "Description")
        dt = _child(xml, "DataType")
        self.data_type = DataType.parse(dt) if dt is not None else None


class Command:
    def __init__(self, xml):
        self.identifier = _text(xml, "Identifier")
        self.display_name = _text(xml, "DisplayName")
        self.observable = _text(xml, "Observable") == "Yes"
        self.parameters = [Element(p) for p in _children(xml, "Parameter")]
        self.responses = [Element(r) for r in _children(xml, "Response")]
        self.intermediates = [Element(r) for r in _children(xml, "IntermediateResponse")]
        errors = _child(xml, "DefinedExecutionErrors")
        self.errors = [e.text.strip() for e in _children(errors, "Identifier")] \
            if errors is not None else []


class Property:
    def __init__(self, xml):
        self.identifier = _text(xml, "Identifier")
        self.observable = _text(xml, "Observable") == "Yes"
        self.data_type = DataType.parse(_child(xml, "DataType"))
        errors = _child(xml, "DefinedExecutionErrors")
        self.errors = [e.text.strip() for e in _children(errors, "Identifier")] \
            if errors is not None else []


class FeatureDefinition:
    """A parsed Feature Definition."""

    def __init__(self, xml_text):
        self.xml = xml_text
        root = ET.fromstring(xml_text)
        if root.tag != FDL_NS + "Feature":
            raise ValueError("not a Feature Definition: root " + root.tag)
        self.attrib = dict(root.attrib)
        self.originator = root.attrib["Originator"]
        self.category = root.attrib.get("Category", "none")
        self.feature_version = root.attrib["FeatureVersion"]
        self.identifier = _text(root, "Identifier")
        self.display_name = _text(root, "DisplayName")
        self.description = _text(root, "Description")
        self.commands = {c.identifier: c for c in map(Command, _children(root, "Command"))}
        self.properties = {p.identifier: p for p in map(Property, _children(root, "Property"))}
        self.errors = {_text(e, "Identifier"): e for e in _children(root, "DefinedExecutionError")}
        self.types = {_text(d, "Identifier"): DataType.parse(_child(d, "DataType"))
                      for d in _children(root, "DataTypeDefinition")}
        self.metadata = {_text(m, "Identifier"): DataType.parse(_child(m, "DataType"))
                         for m in _children(root, "Metadata")}

    @property
    def major(self):
        return self.feature_version.split(".")[0]

    @property
    def fully_qualified(self):
        return f"{self.originator}/{self.category}/{self.identifier}/v{self.major}"

    @property
    def package(self):
        return (f"sila2.{self.originator}.{self.category}.{self.identifier.lower()}"
                f".v{self.major}")

    def qualify(self, *path):
        """The fully qualified identifier of something in the feature: ("Command", "X",
        "Parameter", "Y") or ("DefinedExecutionError", "Z")."""
        return "/".join((self.fully_qualified,) + path)


def build_file(fdl):
    """The FileDescriptorProto of a feature by the standard's mapping."""
    f = descriptor_pb2.FileDescriptorProto(name=fdl.identifier + ".proto", package=fdl.package,
                                           syntax="proto3", dependency=[FRAMEWORK_FILE])
    own = "." + fdl.package + "."

    def add_field(message, name, number, dtype, scope):
        fd = message.field.add(name=name, number=number, json_name=name,
                               label=_F.LABEL_OPTIONAL, type=_F.TYPE_MESSAGE)
        if dtype.kind == "list":
            fd.label = _F.LABEL_REPEATED
            dtype = dtype.element
        if dtype.kind == "basic":
            fd.type_name = "." + FRAMEWORK_PACKAGE + "." + dtype.basic
        elif dtype.kind == "identifier":
            fd.type_name = own + "DataType_" + dtype.identifier
        elif dtype.kind == "structure":
            nested = message.nested_type.add(name=name + "_Struct")
            for i, (sub, subtype) in enumerate(dtype.fields, 1):
                add_field(nested, sub, i, subtype, scope + "." + nested.name)
            fd.type_name = scope + "." + nested.name
        else:
            raise ValueError("a list of lists has no mapping")

    def add_message(name, elements):
        m = f.message_type.add(name=name)
        for i, (ident, dtype) in enumerate(elements, 1):
            add_field(m, ident, i, dtype, own + name)
        return m

    service = f.service.add(name=fdl.identifier)

    def rpc(name, request, response, server_streaming=False):
        service.method.add(name=name, input_type=request, output_type=response,
                           server_streaming=server_streaming)

    fw = "." + FRAMEWORK_PACKAGE + "."
    for ident, dtype in fdl.types.items():
        add_message("DataType_" + ident, [(ident, dtype)])
    for c in fdl.commands.values():
        add_message(c.identifier + "_Parameters",
                    [(p.identifier, p.data_type) for p in c.parameters])
        add_message(c.identifier + "_Responses",
                    [(r.identifier, r.data_type) for r in c.responses])
        params, responses = own + c.identifier + "_Parameters", own + c.identifier + "_Responses"
        if not c.observable:
            rpc(c.identifier, params, responses)
            continue
        rpc(c.identifier, params, fw + "CommandConfirmation")
        rpc(c.identifier + "_Info", fw + "CommandExecutionUUID", fw + "ExecutionInfo", True)
        if c.intermediates:
            add_message(c.identifier + "_IntermediateResponses",
                        [(r.identifier, r.data_type) for r in c.intermediates])
            rpc(c.identifier + "_Intermediate", fw + "CommandExecutionUUID",
                own + c.identifier + "_IntermediateResponses", True)
        rpc(c.identifier + "_Result", fw + "CommandExecutionUUID", responses)
    for p in fdl.properties.values():
        verb = "Subscribe_" if p.observable else "Get_"
        add_message(verb + p.identifier + "_Parameters", [])
        add_message(verb + p.identifier + "_Responses", [(p.identifier, p.data_type)])
        rpc(verb + p.identifier, own + verb + p.identifier + "_Parameters",
            own + verb + p.identifier + "_Responses", p.observable)
    for ident, dtype in fdl.metadata.items():
        add_message("Metadata_" + ident, [(ident, dtype)])
        name = "Get_FCPAffectedByMetadata_" + ident
        add_message(name + "_Parameters", [])
        add_message(name + "_Responses",
                    [("AffectedCalls", DataType("list", element=DataType("basic", "String")))])
        rpc(name, own + name + "_Parameters", own + name + "_Responses")
    return f


def to_message(cls, values):
    """A message of class cls from a dict of plain Python values (floats, strings, lists,
    dicts for structures), wrapping each basic value in its framework type."""
    msg = cls()
    for name, value in values.items():
        field = cls.DESCRIPTOR.fields_by_name[name]
        target = getattr(msg, name)
        if field.label == field.LABEL_REPEATED:
            for item in value:
                _fill(target.add(), item)
        else:
            _fill(target, value)
    return msg


def _fill(target, value):
    fields = target.DESCRIPTOR.fields_by_name
    if isinstance(value, dict):
        target.CopyFrom(to_message(type(target), value))
    elif target.DESCRIPTOR.full_name.startswith(FRAMEWORK_PACKAGE + ".") and "value" in fields:
        target.value = value
    elif len(fields) == 1:  # a defined data type: its one field
        (name,) = fields
        _fill(getattr(target, name), value)
    else:
        raise TypeError(f"cannot put {value!r} in {target.DESCRIPTOR.full_name}")


def from_message(msg):
    """The plain Python value of a message: basic types unwrapped, lists as lists, structures
    and responses as dicts."""
    d = msg.DESCRIPTOR
    if d.full_name.startswith(FRAMEWORK_PACKAGE + ".") and "value" in d.fields_by_name:
        return msg.value
    if d.name.startswith("DataType_") and len(d.fields) == 1:
        return from_message(getattr(msg, d.fields[0].name))
    out = {}
    for field in d.fields:
        value = getattr(msg, field.name)
        if field.label == field.LABEL_REPEATED:
            out[field.name] = [from_message(v) for v in value]
        else:
            out[field.name] = from_message(value)
    return out


class Feature:
    """One feature's calls, built from its Feature Definition."""

    def __init__(self, client, fdl):
        self.client = client
        self.fdl = fdl
        self.file = build_file(fdl)
        client.framework.pool.Add(self.file)
        fw = client.framework
        self.service = fdl.package + "." + fdl.identifier
        self.methods = {}
        service = fw.pool.FindServiceByName(self.service)
        for m in service.methods:
            request = _message_class(fw.factory, m.input_type)
            response = _message_class(fw.factory, m.output_type)
            path = f"/{self.service}/{m.name}"
            make = client.channel.unary_stream if m.output_type and m.server_streaming \
                else client.channel.unary_unary
            self.methods[m.name] = (request, response, make(
                path, request_serializer=request.SerializeToString,
                response_deserializer=response.FromString))

    def _invoke(self, name, request, metadata=None, timeout=10):
        _, _, stub = self.methods[name]
        try:
            return stub(request, metadata=metadata, timeout=timeout)
        except grpc.RpcError as e:
            raise self.client.framework.decode_error(e) from e

    def request(self, name, values):
        return to_message(self.methods[name][0], values)

    def call(self, command, metadata=None, timeout=10, **params):
        """An unobservable command: its responses as a dict."""
        return from_message(self._invoke(command, self.request(command, params), metadata,
                                         timeout))

    def call_future(self, command, timeout=10, **params):
        """An unobservable command sent without waiting: its gRPC future."""
        _, _, stub = self.methods[command]
        return stub.future(self.request(command, params), timeout=timeout)

    def get(self, prop, metadata=None, timeout=10):
        reply = self._invoke("Get_" + prop, self.request("Get_" + prop, {}), metadata, timeout)
        return from_message(reply)[prop]

    def subscribe(self, prop, metadata=None, timeout=None):
        """The stream of an observable property; iterate it for values, cancel() to end."""
        _, _, stub = self.methods["Subscribe_" + prop]
        return PropertyStream(self.client.framework, stub(
            self.request("Subscribe_" + prop, {}), metadata=metadata, timeout=timeout), prop)

    def start(self, command, metadata=None, timeout=10, **params):
        """An observable command: the execution's UUID (and the confirmation)."""
        confirmation = self._invoke(command, self.request(command, params), metadata, timeout)
        return confirmation.commandExecutionUUID.value

    def info(self, command, uuid, timeout=None, metadata=None):
        _, _, stub = self.methods[command + "_Info"]
        fw = self.client.framework
        return InfoStream(fw, stub(fw.types["CommandExecutionUUID"](value=uuid),
                                   timeout=timeout, metadata=metadata))

    def result(self, command, uuid, timeout=10, metadata=None):
        fw = self.client.framework
        return from_message(self._invoke(command + "_Result",
                                         fw.types["CommandExecutionUUID"](value=uuid), metadata,
                                         timeout))


class PropertyStream:
    def __init__(self, framework, call, prop):
        self.framework = framework
        self.call = call
        self.prop = prop

    def __iter__(self):
        return self

    def __next__(self):
        try:
            return from_message(next(self.call))[self.prop]
        except grpc.RpcError as e:
            if e.code() == grpc.StatusCode.CANCELLED:
                raise StopIteration from e
            raise self.framework.decode_error(e) from e

    def cancel(self):
        self.call.cancel()


class InfoStream(PropertyStream):
    """ExecutionInfo messages as dicts: status name, progress (None when not sent), remaining
    seconds (None when not sent)."""

    def __init__(self, framework, call):
        super().__init__(framework, call, None)

    def __next__(self):
        try:
            info = next(self.call)
        except grpc.RpcError as e:
            if e.code() == grpc.StatusCode.CANCELLED:
                raise StopIteration from e
            raise self.framework.decode_error(e) from e
        status = self.framework.types["ExecutionInfo"].CommandStatus.Name(info.commandStatus)
        remaining = None
        if info.HasField("estimatedRemainingTime"):
            r = info.estimatedRemainingTime
            remaining = r.seconds + r.nanos / 1e9
        return {"status": status,
                "progress": info.progressInfo.value if info.HasField("progressInfo") else None,
                "remaining": remaining}


SILA_SERVICE = "org.silastandard/core/SiLAService/v1"


class Client:
    """Connects, bootstraps SiLAService from the standard's Feature Definition, then reads every
    feature the server implements and builds its calls from what the server returns."""

    def __init__(self, channel, service_fdl_text):
        self.channel = channel
        self.framework = Framework()
        self._boot = FeatureDefinition(service_fdl_text)
        self._boot_feature = Feature(self, self._boot)
        self.features = {}
        self.definitions = {}

    def feature_definition(self, identifier):
        service = self.features.get(SILA_SERVICE, self._boot_feature)
        return service.call("GetFeatureDefinition", FeatureIdentifier=identifier)[
            "FeatureDefinition"]

    def discover(self):
        """Reads ImplementedFeatures and each Feature Definition; builds every feature in a
        fresh pool so the server's SiLAService replaces the bootstrap one."""
        implemented = self._boot_feature.get("ImplementedFeatures")
        self.framework = Framework()
        for identifier in implemented:
            text = self._boot_feature.call("GetFeatureDefinition",
                                           FeatureIdentifier=identifier)["FeatureDefinition"]
            fdl = FeatureDefinition(text)
            if fdl.fully_qualified != identifier:
                raise ProtocolFault(f"{identifier} returned the definition of "
                                    f"{fdl.fully_qualified}")
            self.definitions[identifier] = fdl
            self.features[identifier] = Feature(self, fdl)
        return implemented

    def feature(self, identifier):
        return self.features[identifier]


def metadata_key(fully_qualified_metadata):
    """The gRPC header that carries a piece of SiLA client metadata."""
    return "sila-" + fully_qualified_metadata.lower().replace("/", "-") + "-bin"
