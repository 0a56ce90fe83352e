-- SPDX-License-Identifier: GPL-3.0-or-later
-- Drives Ardour (luasession, the "None (Dummy)" backend, no sound card) the
-- way a user's session would: a stereo track whose region is a sine, the
-- plug-in inserted on it, its parameters and presets listed, a parameter set
-- and one automated, the track bounced with the plug-in active and
-- bypassed, the session saved. With CHECK_MODE=reload it reopens the saved
-- session in a fresh process and lists the plug-in's parameter values.
-- Settings come from the environment (see ardour_check.sh); every result
-- is a line "KEY: ..." on stdout.

local function env (k) return os.getenv (k) end
local function say (...)
  local parts = table.pack (...)
  for i = 1, parts.n do parts[i] = tostring (parts[i]) end
  io.stdout:write (table.concat (parts, " "), "\n")
  io.stdout:flush ()
end
local function num (x) return string.format ("%.6g", x) end

local MODE = env ("CHECK_MODE")
local KINDS = { lv2 = ARDOUR.PluginType.LV2, vst3 = ARDOUR.PluginType.VST3, vst = ARDOUR.PluginType.LXVST }
local KIND = KINDS[env ("CHECK_KIND")]
local ID = env ("CHECK_PLUGIN_ID")          -- the LV2 URI, the VST3 class ID, or the record's unique ID
local SESSION = env ("CHECK_SESSION")
local RATE = 48000
local SECONDS = 1.0
local LEN = math.floor (SECONDS * RATE)

if not AudioEngine:set_backend ("None (Dummy)", "", "") then say ("ERROR: no Dummy backend"); return end

local function findPlugin (route)
  local i = 0
  while true do
    local p = route:nth_plugin (i)
    if p:isnil () then return nil end
    if p:to_insert ():type () == KIND then return p end
    i = i + 1
  end
end

local function listValues (proc, key)
  local plug = proc:to_insert ():plugin (0)
  for j = 0, plug:parameter_count () - 1 do
    if plug:parameter_is_input (j) and plug:parameter_is_control (j) then
      say (string.format ("%s: %d %s", key, j, num (ARDOUR.LuaAPI.get_processor_param (proc, j))))
    end
  end
end

if MODE == "reload" then
  if not load_session (SESSION, "check") then say ("ERROR: the saved session does not load"); return end
  local track = Session:route_by_name ("Check")
  local proc = (not track:isnil ()) and findPlugin (track) or nil
  if not proc then say ("ERROR: the plug-in is missing from the reloaded session"); close_session (); return end
  say ("RELOADED: " .. proc:to_insert ():plugin (0):name ())
  listValues (proc, "VALUE")
  close_session ()
  say ("DONE")
  return
end

if not create_session (SESSION, "check", RATE) then say ("ERROR: cannot create a session"); return end

-- Is the plug-in known to Ardour's plug-in manager (its scan)?
local info = nil
for p in ARDOUR.LuaAPI.list_plugins ():iter () do
  if p.type == KIND and (p.unique_id == ID) then info = p end
end
if not info then say ("ERROR: Ardour's scan does not list " .. ID); close_session (); return end
say ("SCANNED: name='" .. info.name .. "' id=" .. info.unique_id .. " audio in/out=" .. info.n_inputs:n_audio () .. "/" .. info.n_outputs:n_audio ())

-- A stereo track whose region is a tone, bounced once from a Lua generator,
-- so every pass below hears the same samples from disk.
local track = Session:new_audio_track (2, 2, nil, 1, "Check", -1, ARDOUR.TrackMode.Normal, true):front ()
local tone = ARDOUR.LuaAPI.new_luaproc (Session, "Check Tone")
if tone:isnil () then say ("ERROR: the tone generator script was not found"); close_session (); return end
track:add_processor_by_index (tone, 0, nil, true)
local region = track:bounce_range (0, LEN, ARDOUR.InterThreadInfo (), tone, true, "tone")
track:playlist ():add_region (region, Temporal.timepos_t (0), 1, false, 0, 0, false)
track:remove_processor (tone, nil, true)

local proc = ARDOUR.LuaAPI.new_plugin (Session, ID, KIND, "")
if proc:isnil () then say ("ERROR: the plug-in does not instantiate"); close_session (); return end
if track:add_processor_by_index (proc, 0, nil, true) ~= 0 then say ("ERROR: the track refuses the plug-in"); close_session (); return end
local plug = proc:to_insert ():plugin (0)
say ("LOADED: " .. plug:name ())

-- Parameters (name, default, range) and presets.
local inputs = 0
for j = 0, plug:parameter_count () - 1 do
  if plug:parameter_is_input (j) and plug:parameter_is_control (j) then
    inputs = inputs + 1
    local _, t = plug:get_parameter_descriptor (j, ARDOUR.ParameterDescriptor ())
    local d = t[2]
    say (string.format ("PARAM: %d '%s' default=%s range=%s..%s value=%s", j, plug:parameter_label (j), num (d.normal),
      num (d.lower), num (d.upper), num (ARDOUR.LuaAPI.get_processor_param (proc, j))))
  end
end
say ("PARAMS: " .. inputs)
local presets = 0
for p in plug:get_info ():get_presets (false):iter () do
  presets = presets + 1
  say ("PRESET: '" .. p.label .. "'")
end
say ("PRESETS: " .. presets)

-- Taps before and after the plug-in keep what went in and came out of it.
local taps, tapOut = {}, nil
for _, where in ipairs ({ "in", "out" }) do
  local tap = ARDOUR.LuaAPI.new_luaproc (Session, "Check Tap")
  if tap:isnil () then say ("ERROR: the tap script was not found"); close_session (); return end
  track:add_processor_by_index (tap, where == "in" and 0 or 2, nil, true)
  taps[where] = tap:to_insert ():plugin (0):to_luaproc ():shmem ()
  if where == "out" then tapOut = tap end
end

local function writeTap (shm, path)
  local kept = shm:atomic_get_int (1)
  local samples = shm:to_float (2):array ()
  local f = io.open (path, "wb")
  for i = 1, 2 * kept do f:write (string.pack ("<f", samples[i])) end
  f:close ()
  return kept
end

-- Up to and including the plug-in (and the tap after it): the fader after
-- them ramps in when the transport starts, which would make what the
-- plug-in put out differ from what the file holds. Named passes also keep
-- the plug-in's exact input and output.
local function bounce (name, keep)
  for _, shm in pairs (taps) do shm:atomic_set_int (1, 0); shm:atomic_set_int (0, keep and 1 or 0) end
  local r = track:bounce_range (0, LEN, ARDOUR.InterThreadInfo (), tapOut, true, name)
  say ("BOUNCED: " .. name .. " " .. ((r and not r:isnil ()) and "ok" or "failed"))
  for where, shm in pairs (taps) do
    shm:atomic_set_int (0, 0)
    if keep then
      local kept = writeTap (shm, SESSION .. "-" .. name .. "-" .. where .. ".f32")
      say ("TAPPED: " .. name .. " " .. where .. " " .. kept)
    end
  end
end

-- Processed and bypassed, then with one parameter set, then with one
-- parameter automated from its default to another value half way through.
bounce ("processed", true)
proc:deactivate ()
bounce ("bypassed")
proc:activate ()
local setIndex, setValue = tonumber (env ("CHECK_SET_INDEX")), tonumber (env ("CHECK_SET_VALUE"))
ARDOUR.LuaAPI.set_processor_param (proc, setIndex, setValue)
say ("SET: " .. setIndex .. " " .. num (ARDOUR.LuaAPI.get_processor_param (proc, setIndex)))
bounce ("set", true)
-- The VST3 edition's own bypass: what the plug-in puts out is its input.
local bypassIndex = tonumber (env ("CHECK_BYPASS_INDEX") or "")
if bypassIndex then
  ARDOUR.LuaAPI.set_processor_param (proc, bypassIndex, 1)
  bounce ("passthrough")
  ARDOUR.LuaAPI.set_processor_param (proc, bypassIndex, 0)
end
local autoIndex, autoValue = tonumber (env ("CHECK_AUTOMATE_INDEX")), tonumber (env ("CHECK_AUTOMATE_VALUE"))
local al, cl = ARDOUR.LuaAPI.plugin_automation (proc, autoIndex)
local control = proc:to_insert ():to_automatable ():automation_control (
  Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, autoIndex), true)
if al:isnil () or control:isnil () then say ("ERROR: the parameter has no automation"); close_session (); return end
-- A step half way: the value holds until then, and changes right after.
local held = ARDOUR.LuaAPI.get_processor_param (proc, autoIndex)
cl:add (Temporal.timepos_t (0), held, false, false)
cl:add (Temporal.timepos_t (LEN // 2), held, false, false)
cl:add (Temporal.timepos_t (LEN // 2 + 1), autoValue, false, false)
control:set_automation_state (ARDOUR.AutoState.Play)
say ("AUTOMATION: state " .. tostring (control:automation_state ()))
-- Played in real time, the automation moves the plug-in's parameter.
Session:request_locate (0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (200000)
say ("AUTOMATION: before " .. num (ARDOUR.LuaAPI.get_processor_param (proc, autoIndex)))
Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (math.floor (SECONDS * 1000000))
Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (300000)
say ("AUTOMATION: after " .. num (ARDOUR.LuaAPI.get_processor_param (proc, autoIndex)) .. " at " .. Session:transport_sample ())
control:set_automation_state (ARDOUR.AutoState.Off)

Session:save_state ("", false, false, false, false, false)
say ("SAVED")
listValues (proc, "VALUE")
close_session ()
say ("DONE")
