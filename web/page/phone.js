// The phone's page: draws the screen snapshot and the main window's frames,
// sends keys, taps and menu choices back, plays the decode sound, and posts
// webcam pictures when the program takes its camera from the page.
'use strict';

const $ = (id) => document.getElementById(id);
const state = {
  snapshot: null,
  drawn: '',          // the last snapshot drawn, without its frame version
  frameWanted: 0,     // the newest frame announced
  frameLoading: false,
  frameShown: -1,
  framesShown: 0,
  sounds: 0,
  ended: false,
};
// For tests and for a person at the console.
window.cordavex = state;

async function send(input) {
  try {
    const response = await fetch('/input', {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(input),
    });
    if (!response.ok) console.warn('Cordavex refused', input, await response.text());
  } catch (error) {
    console.warn('Cordavex is not answering', error);
  }
}
const pressKey = (key) => send({ key });

// ---- drawing the snapshot ----

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function drawSoftkeys(softkeys) {
  const left = (softkeys && softkeys.left) || {};
  const right = (softkeys && softkeys.right) || {};
  $('softleft').querySelector('.label').textContent = left.text || '';
  $('softright').querySelector('.label').textContent = right.text || '';
}

function drawMenu(snapshot) {
  const menu = $('menu');
  const items = (snapshot.softkeys && snapshot.softkeys.right && snapshot.softkeys.right.menu) || [];
  menu.replaceChildren();
  menu.hidden = !snapshot.menuOpen || items.length === 0;
  if (menu.hidden) return;
  items.forEach((item, index) => {
    if (!item.command) {
      menu.append(element('li', 'separator'));
      return;
    }
    const li = element('li', '', item.text);
    li.setAttribute('role', 'menuitem');
    li.dataset.command = item.command;
    if (index === snapshot.menuSelected) li.classList.add('selected');
    if (item.enabled === false) {
      li.classList.add('disabled');
      li.setAttribute('aria-disabled', 'true');
    } else {
      li.addEventListener('click', () => send({ command: item.command }));
    }
    menu.append(li);
  });
}

function drawControl(control) {
  const kind = control.kind;
  const row = element('div', `control ${kind}`);
  row.dataset.id = control.id;
  if (control.enabled === false) row.classList.add('disabled');
  if (kind === 'check-box' || kind === 'radio-button') {
    const box = element('span', 'box', control.checked ? (kind === 'check-box' ? '✓' : '●') : '');
    row.setAttribute('role', kind === 'check-box' ? 'checkbox' : 'radio');
    row.setAttribute('aria-checked', control.checked ? 'true' : 'false');
    row.append(box, element('span', 'text', control.text));
  } else if (kind === 'edit') {
    row.append(element('span', 'edit', control.text));
  } else if (kind === 'button') {
    row.setAttribute('role', 'button');
    row.append(element('span', 'text', `[ ${control.text} ]`));
  } else {
    row.append(element('span', 'text', control.text));
  }
  const clickable = ['check-box', 'radio-button', 'button'].includes(kind) && control.enabled !== false;
  if (clickable) {
    row.classList.add('clickable');
    row.addEventListener('click', () => send({ click: control.id }));
  }
  return row;
}

function drawWindow(snapshot) {
  const view = $('window');
  const controls = snapshot.controls || [];
  const rows = snapshot.rows || [];
  // The main window is its frame buffer; every other screen is drawn here.
  const kind = snapshot.window;
  const stack = snapshot.stack || [];
  const under = kind === 'message-box' ? stack[stack.length - 2] : kind;
  const own = under && under !== 'main';
  view.hidden = !own;
  view.replaceChildren();
  view.dataset.kind = own ? under : '';
  if (!own || kind === 'message-box') {
    // A message box over another screen: that screen's content is not in the
    // snapshot; its title stands for it.
    if (own) view.append(element('div', 'title', snapshot.title || ''));
    return;
  }
  view.append(element('div', 'title', snapshot.title || ''));
  const body = element('div', 'body');
  for (const control of controls) body.append(drawControl(control));
  if (rows.length) {
    const list = element('ul', 'rows');
    list.setAttribute('role', 'listbox');
    rows.forEach((row, index) => {
      const li = element('li');
      li.setAttribute('role', 'option');
      li.append(element('span', 'label', row.label), element('span', 'value', row.value || ''));
      if (index === snapshot.selected) {
        li.classList.add('selected');
        li.setAttribute('aria-selected', 'true');
      }
      li.addEventListener('click', () => send({ select: index }));
      li.addEventListener('dblclick', () => pressKey('enter'));
      list.append(li);
    });
    body.append(list);
  }
  view.append(body);
}

const kAnswerText = { ok: '確定', cancel: '取消', yes: '是', no: '否' };

function drawMessage(message) {
  const box = $('message');
  box.replaceChildren();
  box.hidden = !message;
  if (!message) return;
  box.append(element('div', 'caption', message.caption || ''), element('div', 'text', message.text || ''));
  const buttons = element('div', 'buttons');
  const answers = Array.isArray(message.buttons) && message.buttons.length ? message.buttons : ['ok'];
  for (const answer of answers) {
    const button = element('button', '', kAnswerText[answer] || answer);
    button.dataset.answer = answer;
    button.addEventListener('click', () => send({ answer }));
    buttons.append(button);
  }
  box.append(buttons);
}

function draw(snapshot) {
  state.snapshot = snapshot;
  // The frame version changes with every paint; the rest of the screen seldom.
  const key = JSON.stringify({ ...snapshot, frame: 0 });
  if (key === state.drawn) return;
  state.drawn = key;
  document.body.dataset.window = snapshot.window || '';
  drawSoftkeys(snapshot.softkeys);
  drawWindow(snapshot);
  drawMessage(snapshot.message);
  drawMenu(snapshot);
}

// ---- the main window's frames: one fetch at a time, always the newest ----

function loadFrame() {
  if (state.frameLoading || state.frameWanted === state.frameShown) return;
  state.frameLoading = true;
  const version = state.frameWanted;
  const image = new Image();
  image.onload = () => {
    const canvas = $('frame');
    canvas.getContext('2d').drawImage(image, 0, 0, canvas.width, canvas.height);
    state.frameShown = version;
    state.framesShown += 1;
    state.frameLoading = false;
    loadFrame();
  };
  image.onerror = () => {
    state.frameLoading = false;
    state.frameShown = version;  // wait for the next announcement
  };
  image.src = `/frame.png?v=${version}`;
}

// ---- the decode sound ----

let audio = null;
function playSound() {
  state.sounds += 1;
  try {
    audio = audio || new AudioContext();
    const now = audio.currentTime;
    for (const [start, pitch] of [[0, 1318.5], [0.09, 1760]]) {
      const tone = audio.createOscillator();
      const gain = audio.createGain();
      tone.frequency.value = pitch;
      gain.gain.setValueAtTime(0.2, now + start);
      gain.gain.exponentialRampToValueAtTime(0.001, now + start + 0.08);
      tone.connect(gain).connect(audio.destination);
      tone.start(now + start);
      tone.stop(now + start + 0.09);
    }
  } catch (error) {
    console.warn('no sound', error);
  }
}

// ---- the stream ----

function onRecord(event) {
  let record;
  try {
    record = JSON.parse(event.data);
  } catch {
    return;
  }
  if ('window' in record) {
    draw(record);
  } else if ('frame' in record) {
    state.frameWanted = record.frame;
    loadFrame();
  } else if (record.event === 'sound') {
    playSound();
  } else if (record.event) {
    document.dispatchEvent(new CustomEvent('cordavex', { detail: record }));
  }
}

function connect() {
  const stream = new EventSource('/events');
  stream.onmessage = onRecord;
  stream.onopen = () => {
    state.ended = false;
    $('offline').hidden = true;
    document.body.dataset.connected = 'true';
  };
  stream.onerror = () => {
    // The browser tries again by itself; while it cannot, the program is gone.
    document.body.dataset.connected = 'false';
    if (stream.readyState !== EventSource.OPEN) {
      state.ended = true;
      $('offline').hidden = false;
    }
  };
}

// ---- keys and buttons ----

const kKeyboard = {
  ArrowUp: 'up', ArrowDown: 'down', ArrowLeft: 'left', ArrowRight: 'right', Enter: 'enter',
  Backspace: 'back', Escape: 'back', F1: 'softleft', F2: 'softright', '[': 'softleft', ']': 'softright',
};

document.addEventListener('keydown', (event) => {
  if (event.altKey || event.ctrlKey || event.metaKey) return;
  const key = kKeyboard[event.key];
  if (!key) return;
  event.preventDefault();
  pressKey(key);
});

for (const button of document.querySelectorAll('[data-key]')) {
  button.addEventListener('click', () => pressKey(button.dataset.key));
  // Buttons keep no focus: Enter on the keyboard is the phone's Enter.
  button.addEventListener('mousedown', (event) => event.preventDefault());
}

// ---- the webcam, when the program takes its camera from the page ----

async function startWebcam() {
  const status = $('camera-status');
  status.hidden = false;
  let stream;
  try {
    stream = await navigator.mediaDevices.getUserMedia({ video: { width: 640, height: 480 }, audio: false });
  } catch (error) {
    status.textContent = `Camera: ${error.message}`;
    return;
  }
  status.textContent = 'Camera: this page is the phone\'s camera';
  const video = document.createElement('video');
  video.muted = true;
  video.playsInline = true;
  video.srcObject = stream;
  await video.play();
  const canvas = document.createElement('canvas');
  canvas.width = 320;
  canvas.height = 240;
  const context = canvas.getContext('2d', { willReadFrequently: true });
  state.webcamFrames = 0;
  let posting = false;
  setInterval(async () => {
    if (posting || document.hidden || video.readyState < 2) return;
    posting = true;
    context.drawImage(video, 0, 0, canvas.width, canvas.height);
    const pixels = context.getImageData(0, 0, canvas.width, canvas.height);
    try {
      const response = await fetch(`/camera?width=${canvas.width}&height=${canvas.height}&format=rgba`, {
        method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: pixels.data,
      });
      if (response.ok) state.webcamFrames += 1;
    } catch {
      // the program has gone; the stream's handler says so
    }
    posting = false;
  }, 100);
}

async function start() {
  const phone = await (await fetch('/phone')).json();
  const screen = $('screen');
  screen.style.width = `${phone.width + 6}px`;
  screen.style.height = `${phone.height + 6}px`;
  const canvas = $('frame');
  canvas.width = phone.width;
  canvas.height = phone.height;
  document.body.dataset.screen = `${phone.width}x${phone.height}`;
  connect();
  if (phone.camera) startWebcam();
}

start();
