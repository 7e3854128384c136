'''NetworkManager stand-in for the dial-up tests.

The stock NetworkManager template of python-dbusmock activates every profile at
once. This template keeps it and adds what dialling needs: profiles of any type
bound to a device, activations that walk through the device states with a
delay, a secret request to the registered agent, scripted failures (wrong
password, missing device, time-out), a dial that never finishes, and an agent
manager. Profiles without a dial script behave as in the stock template.
'''

import sys

import dbus
import dbus.service
import dbusmock
from dbusmock import MOCK_IFACE
from gi.repository import GLib

from dbusmock.templates import networkmanager as base
# Everything of the stock template, its mock methods (AddEthernetDevice, ...) included.
from dbusmock.templates.networkmanager import *  # noqa: F401,F403
from dbusmock.templates.networkmanager import (MANAGER_IFACE, MANAGER_OBJ, SETTINGS_OBJ, DEVICE_IFACE,
                                               ACTIVE_CONNECTION_IFACE)

AGENT_MANAGER_OBJ = '/org/freedesktop/NetworkManager/AgentManager'
AGENT_MANAGER_IFACE = 'org.freedesktop.NetworkManager.AgentManager'
AGENT_OBJ = '/org/freedesktop/NetworkManager/SecretAgent'
AGENT_IFACE = 'org.freedesktop.NetworkManager.SecretAgent'

ACTIVATING, ACTIVATED, DEACTIVATING, DEACTIVATED = 1, 2, 3, 4
DEV_DISCONNECTED, DEV_NEED_AUTH, DEV_ACTIVATED, DEV_FAILED = 30, 60, 100, 120

# failure name -> (device reason, active connection reason)
FAILURES = {
    'password': (7, 9),     # no secrets / wrong password
    'timeout': (26, 6),     # modem dial time-out / connect time-out
    'device': (36, 14),     # device removed
}

agents = {}  # unique bus name -> identifier
dials = {}  # active connection path -> running dial


class AgentManager(dbus.service.Object):
    '''Keeps the unique names of the registered secret agents.'''

    # dbusmock's method lookup (installed for every object) looks here first.
    methods = {}
    interface = AGENT_MANAGER_IFACE

    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='s', out_signature='', sender_keyword='sender')
    def Register(self, identifier, sender=None):
        agents[sender] = identifier

    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='su', out_signature='', sender_keyword='sender')
    def RegisterWithCapabilities(self, identifier, _capabilities, sender=None):
        agents[sender] = identifier

    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
    def Unregister(self, sender=None):
        agents.pop(sender, None)


def load(mock, parameters):
    base.load(mock, parameters)
    mock.agent_manager = AgentManager(mock.bus_name, AGENT_MANAGER_OBJ)
    nm = dbusmock.get_object(MANAGER_OBJ)
    nm.activate_connection = activate_connection
    nm.deactivate_connection = deactivate_connection


def set_active_state(path, state, reason):
    active = dbusmock.get_object(path)
    active.Set(ACTIVE_CONNECTION_IFACE, 'State', dbus.UInt32(state))
    active.EmitSignal(ACTIVE_CONNECTION_IFACE, 'StateChanged', 'uu', [dbus.UInt32(state), dbus.UInt32(reason)])


def set_device_state(path, state, reason):
    device = dbusmock.get_object(path)
    old = device.Get(DEVICE_IFACE, 'State')
    device.Set(DEVICE_IFACE, 'StateReason', (dbus.UInt32(state), dbus.UInt32(reason)))
    device.Set(DEVICE_IFACE, 'State', dbus.UInt32(state))
    device.EmitSignal(DEVICE_IFACE, 'StateChanged', 'uuu', [dbus.UInt32(state), old, dbus.UInt32(reason)])


def remove_active(path):
    dials.pop(path, None)
    if path not in dbusmock.mockobject.objects:
        return
    nm = dbusmock.get_object(MANAGER_OBJ)
    active = dbusmock.get_object(path)
    for device_path in active.Get(ACTIVE_CONNECTION_IFACE, 'Devices'):
        device = dbusmock.get_object(device_path)
        device.Set(DEVICE_IFACE, 'ActiveConnection', dbus.ObjectPath('/'))
        set_device_state(device_path, DEV_DISCONNECTED, 39)
    actives = nm.Get(MANAGER_IFACE, 'ActiveConnections')
    if path in actives:
        actives.remove(dbus.ObjectPath(path))
        nm.SetProperty(MANAGER_OBJ, MANAGER_IFACE, 'ActiveConnections', actives)
    nm.object_manager_emit_removed(path)
    nm.RemoveObject(path)


def fail_dial(dial, failure):
    device_reason, active_reason = FAILURES[failure]
    set_device_state(dial['device'], DEV_FAILED, device_reason)
    set_active_state(dial['path'], DEACTIVATED, active_reason)
    remove_active(dial['path'])


def step(dial):
    if dial['path'] not in dials:
        return False
    if not dial['steps']:
        if dial['script'].get('hang'):
            return False
        set_device_state(dial['device'], DEV_ACTIVATED, 0)
        set_active_state(dial['path'], ACTIVATED, 1)
        return False
    state = dial['steps'].pop(0)
    set_device_state(dial['device'], state, 0)
    failure = dial['script'].get('fail')
    if state == DEV_NEED_AUTH:
        ask_secrets(dial)
        return False
    if failure and failure != 'password' and not dial['steps']:
        fail_dial(dial, failure)
        return False
    GLib.timeout_add(dial['script']['delay'], step, dial)
    return False


def ask_secrets(dial):
    '''Asks the first registered agent; the answer decides the dial.'''
    expected = dial['script'].get('password', '')
    bus = dbusmock.get_object(MANAGER_OBJ).connection

    def answered(secrets):
        if dial['path'] not in dials:
            return
        given = ''
        for setting in secrets.values():
            given = str(setting.get('password', given))
        if given == expected and dial['script'].get('fail') != 'password':
            GLib.timeout_add(dial['script']['delay'], step, dial)
        else:
            fail_dial(dial, 'password')

    def refused(error):
        sys.stderr.write(f'secret request refused: {error}\n')
        if dial['path'] in dials:
            fail_dial(dial, 'password')

    if not agents:
        refused(None)
        return
    conn_obj = dbusmock.get_object(dial['connection'])
    setting = conn_obj.settings['connection']['type']
    agent = bus.get_object(next(iter(agents)), AGENT_OBJ, introspect=False)
    agent.GetSecrets(conn_obj.ConnectionGetSettings(conn_obj), dbus.ObjectPath(dial['connection']), setting,
                     dbus.Array([], signature='s'), dbus.UInt32(1), dbus_interface=AGENT_IFACE,
                     signature='a{sa{sv}}osasu',
                     reply_handler=answered, error_handler=refused, timeout=5)


def activate_connection(self, conn, dev, ap):
    conn_obj = dbusmock.get_object(conn)
    script = getattr(conn_obj, 'dial_script', None)
    if script is None:
        return base.activate_connection(self, conn, dev, ap)
    if script.get('fail') == 'nodevice':
        raise dbus.exceptions.DBusException('No suitable device found for this connection.',
                                            name=MANAGER_IFACE + '.UnknownDevice')
    device = script['device']
    count = 0
    actives = self.Get(MANAGER_IFACE, 'ActiveConnections')
    while dbus.ObjectPath(f'/org/freedesktop/NetworkManager/ActiveConnection/{count}') in actives or \
            f'/org/freedesktop/NetworkManager/ActiveConnection/{count}' in dbusmock.mockobject.objects:
        count += 1
    path = f'/org/freedesktop/NetworkManager/ActiveConnection/{count}'
    settings = conn_obj.settings['connection']
    self.AddObject(path, ACTIVE_CONNECTION_IFACE, {
        'Devices': dbus.Array([dbus.ObjectPath(device)], signature='o'),
        'Default6': False, 'Default': True, 'Type': settings['type'], 'Vpn': False,
        'Connection': dbus.ObjectPath(conn), 'Master': dbus.ObjectPath('/'),
        'SpecificObject': dbus.ObjectPath('/'), 'Uuid': settings['uuid'],
        'State': dbus.UInt32(ACTIVATING), 'StateFlags': dbus.UInt32(0), 'Id': settings['id'],
    }, [])
    dbusmock.get_object(device).Set(DEVICE_IFACE, 'ActiveConnection', dbus.ObjectPath(path))
    self.object_manager_emit_added(path)
    actives.append(dbus.ObjectPath(path))
    self.SetProperty(MANAGER_OBJ, MANAGER_IFACE, 'ActiveConnections', actives)
    dial = {'path': path, 'device': device, 'connection': str(conn), 'script': script,
            'steps': list(script['steps'])}
    dials[path] = dial
    GLib.timeout_add(script['delay'], step, dial)
    return dbus.ObjectPath(path)


def deactivate_connection(self, active_path):
    active_path = str(active_path)
    if active_path not in dbusmock.mockobject.objects:
        raise dbus.exceptions.DBusException('Not active', name=MANAGER_IFACE + '.ConnectionNotActive')
    dials.pop(active_path, None)
    set_active_state(active_path, DEACTIVATING, 2)

    def finish():
        if active_path in dbusmock.mockobject.objects:
            set_active_state(active_path, DEACTIVATED, 2)
            remove_active(active_path)
        return False
    GLib.timeout_add(30, finish)


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='s')
def AddDevice(self, name, iface, device_type):
    '''A device of the given NetworkManager device type number (as text), disconnected.'''
    path = self.AddEthernetDevice(name, iface, DEV_DISCONNECTED)
    dbusmock.get_object(path).Set(DEVICE_IFACE, 'DeviceType', dbus.UInt32(int(device_type)))
    return path


@dbus.service.method(MOCK_IFACE, in_signature='a{sa{sv}}s', out_signature='s')
def AddProfile(self, settings, device):
    '''A stored profile; with a device it becomes available there.'''
    # Secrets are kept apart, as NetworkManager does: GetSettings never shows
    # them, GetSecrets hands them out per setting.
    secrets = {}
    for setting_name, values in settings.items():
        for key in [k for k in values if k in ('password', 'psk')]:
            secrets.setdefault(str(setting_name), {})[str(key)] = values.pop(key)
    settings_obj = dbusmock.get_object(SETTINGS_OBJ)
    path = settings_obj.SettingsAddConnection(settings)
    conn_obj = dbusmock.get_object(path)
    conn_obj.stored_secrets = secrets
    conn_obj.ConnectionGetSecrets = connection_get_secrets
    if device:
        device_obj = dbusmock.get_object(device)
        available = device_obj.Get(DEVICE_IFACE, 'AvailableConnections')
        available.append(dbus.ObjectPath(path))
        device_obj.Set(DEVICE_IFACE, 'AvailableConnections', available)
    return path


def connection_get_secrets(self, setting_name):
    values = self.stored_secrets.get(str(setting_name), {})
    return dbus.Dictionary({setting_name: dbus.Dictionary(values, signature='sv')}, signature='sa{sv}')


@dbus.service.method(MOCK_IFACE, in_signature='sa{sv}', out_signature='')
def SetDialScript(self, connection, script):
    '''How activating the profile goes: device (path), delay (ms), steps (device
    states before ACTIVATED), password (expected at NEED_AUTH), fail
    ("password", "timeout", "device", "nodevice"), hang (never finishes).'''
    conn_obj = dbusmock.get_object(connection)
    conn_obj.dial_script = {
        'device': str(script['device']),
        'delay': int(script.get('delay', 40)),
        'steps': [int(s) for s in script.get('steps', [40, 50, 70, 80])],
        'password': str(script.get('password', '')),
        'fail': str(script['fail']) if 'fail' in script else None,
        'hang': bool(script.get('hang', False)),
    }


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def RemoveProfile(self, connection):
    dbusmock.get_object(connection).ConnectionDelete(dbusmock.get_object(connection))


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def ListAgents(self):
    return list(agents.values())
