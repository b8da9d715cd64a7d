-- Replaces the distribution's list: no device monitors, so no device
-- reservation and no real sound card competing with the test sink.
load_module("metadata")
default_access.enable()
device_defaults.enable()
stream_defaults.enable()
load_script("intended-roles.lua")
load_script("suspend-node.lua")
