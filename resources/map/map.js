// Skarnet2 web map: the receiver's track on Leaflet, driven by the program through
// pushPos / update / clear / showDistance. Positions live in typed arrays; what is drawn is a
// decimated copy split into small polylines, so a whole day at 10 Hz stays cheap to update.
'use strict';

(function () {
  const CLASS_COUNT = 5;
  const DRAW_CAP = 40000;   // drawn track vertices before the resolution halves
  const CHUNK = 2000;       // vertices per polyline; full ones are never touched again
  const FIRST_CAPACITY = 4096;
  const EARTH_RADIUS = 6371008.8;
  const RAD = Math.PI / 180;
  const START_ZOOM = 17;

  const colours = ['#e53935', '#1e88e5', '#fb8c00', '#43a047', '#8e24aa'];

  // ---- kept positions: slots [head, end) of the arrays; sequence number = base + slot ----
  let lat, lon, cls, head, end, base;

  function resetStore() {
    lat = new Float64Array(FIRST_CAPACITY);
    lon = new Float64Array(FIRST_CAPACITY);
    cls = new Uint8Array(FIRST_CAPACITY);
    head = 0;
    end = 0;
    base = 0;
  }

  function makeRoom() {
    if (end < lat.length) return;
    if (head >= lat.length / 2) {
      // Mostly trimmed away (a position limit): slide down instead of growing.
      lat.copyWithin(0, head, end);
      lon.copyWithin(0, head, end);
      cls.copyWithin(0, head, end);
      base += head;
      end -= head;
      head = 0;
      return;
    }
    const grow = (Old, a) => { const b = new Old(a.length * 2); b.set(a); return b; };
    lat = grow(Float64Array, lat);
    lon = grow(Float64Array, lon);
    cls = grow(Uint8Array, cls);
  }

  function distance(lat1, lon1, lat2, lon2) {
    const s1 = Math.sin((lat2 - lat1) * RAD / 2);
    const s2 = Math.sin((lon2 - lon1) * RAD / 2);
    const a = s1 * s1 + Math.cos(lat1 * RAD) * Math.cos(lat2 * RAD) * s2 * s2;
    return 2 * EARTH_RADIUS * Math.asin(Math.min(1, Math.sqrt(a)));
  }

  function stepLength(slot) { return distance(lat[slot - 1], lon[slot - 1], lat[slot], lon[slot]); }

  // ---- run state ----
  let current = null;    // latest position, kept or not: {lat, lon, cls}
  let start = null;      // first position of the run: {lat, lon}
  let trackLength = 0;   // metres along the kept positions

  // ---- map ----
  const map = L.map('map', {
    center: [36.5, 127.8],
    zoom: 7,
    maxZoom: 22,
    preferCanvas: true,
    zoomControl: true,
    attributionControl: true,
  });
  map.attributionControl.setPrefix('<a href="https://leafletjs.com">Leaflet</a>');
  L.control.scale({ imperial: false, maxWidth: 150 }).addTo(map);
  map.createPane('skarnetTop').style.zIndex = 450;
  const topRenderer = L.canvas({ pane: 'skarnetTop' });

  const trackGroup = L.layerGroup().addTo(map);
  const lineStyle = (c) => ({ color: colours[c], weight: 3, opacity: 0.85, interactive: false });
  const tailLine = L.polyline([], lineStyle(0)).addTo(map);
  const marker = L.circleMarker([0, 0], {
    renderer: topRenderer, radius: 7, color: '#ffffff', weight: 2, fillColor: colours[0],
    fillOpacity: 1, interactive: false,
  });
  const startMarker = L.circleMarker([0, 0], {
    renderer: topRenderer, radius: 5, color: '#333333', weight: 2, fillColor: '#ffffff',
    fillOpacity: 1, interactive: false,
  });
  const straightLine = L.polyline([], {
    renderer: topRenderer, color: '#333333', weight: 2, dashArray: '6 6', interactive: false,
  });

  // The grid background moves with the map, so the track does not seem to slide on it.
  function moveGrid() {
    const origin = map.getPixelBounds().min;
    map.getContainer().style.backgroundPosition = (-origin.x) + 'px ' + (-origin.y) + 'px';
  }
  map.on('move zoomend viewreset', moveGrid);
  moveGrid();

  // ---- tiles ----
  let tileLayer = null;
  let tilesLoaded = 0;
  let tilesFailed = 0;

  function setTileSource(url, attribution) {
    if (tileLayer) map.removeLayer(tileLayer);
    tileLayer = L.tileLayer(url, { maxZoom: 22, maxNativeZoom: 19, attribution: attribution });
    tileLayer.on('tileload', () => { ++tilesLoaded; });
    tileLayer.on('tileerror', (e) => { ++tilesFailed; L.DomUtil.addClass(e.tile, 'skarnet-tile-failed'); });
    tileLayer.addTo(map);
  }

  // ---- drawn track ----
  // A vertex is drawn when its sequence number is a multiple of `stride`, and (while
  // affordable) where the fix class changes, so colours stay exact. Vertices go into
  // per-class "buckets" (one polyline of several parts each); a new part starts with the
  // previous drawn vertex so the line stays continuous across colour changes.
  let buckets, open, last, stride, forceRuns, fedTo, trackVertices, runVertices;
  let tailSeqs = [];

  function resetDrawing() {
    if (buckets) buckets.forEach((b) => trackGroup.removeLayer(b.layer));
    buckets = [];
    open = new Array(CLASS_COUNT).fill(null);
    last = null;
    fedTo = base + head;
    trackVertices = 0;
    runVertices = 0;
    tailSeqs = [];
    tailLine.setLatLngs([]);
  }

  function addVertex(slot, seq, byRun) {
    const c = cls[slot];
    const ll = L.latLng(lat[slot], lon[slot]);
    let b = open[c];
    if (!b || b.n >= CHUNK) {
      b = { layer: L.polyline([], lineStyle(c)), cls: c, parts: [], seqs: [], n: 0,
            minSeq: seq, lastSeq: -1, dirty: true };
      open[c] = b;
      buckets.push(b);
      trackGroup.addLayer(b.layer);
    }
    if (!last || b.lastSeq !== last.seq) {
      b.parts.push([]);
      b.seqs.push([]);
      if (last) pushVertex(b, last.ll, last.seq);
    }
    pushVertex(b, ll, seq);
    if (byRun) ++runVertices;
    last = { seq: seq, ll: ll, cls: c };
  }

  function pushVertex(b, ll, seq) {
    b.parts[b.parts.length - 1].push(ll);
    b.seqs[b.seqs.length - 1].push(seq);
    b.n++;
    b.lastSeq = seq;
    if (seq < b.minSeq) b.minSeq = seq;
    b.dirty = true;
    ++trackVertices;
  }

  function feed(fromSeq) {
    for (let seq = fromSeq, stop = base + end; seq < stop; ++seq) {
      const slot = seq - base;
      if (!last || seq % stride === 0) addVertex(slot, seq, false);
      else if (forceRuns && cls[slot] !== last.cls) addVertex(slot, seq, true);
    }
    fedTo = base + end;
  }

  function rebuild() {
    const keepStride = stride;
    const keepRuns = forceRuns;
    resetDrawing();
    stride = keepStride;
    forceRuns = keepRuns;
    feed(base + head);
  }

  // Drops drawn vertices older than the oldest kept position (a position limit).
  function trimDrawn(firstSeq) {
    buckets = buckets.filter((b) => {
      if (b.minSeq >= firstSeq) return true;
      const parts = [];
      const seqs = [];
      let n = 0;
      let minSeq = Infinity;
      for (let p = 0; p < b.parts.length; ++p) {
        const s = b.seqs[p];
        let k = 0;
        while (k < s.length && s[k] < firstSeq) ++k;
        if (k === s.length) continue;
        parts.push(k ? b.parts[p].slice(k) : b.parts[p]);
        seqs.push(k ? s.slice(k) : s);
        n += s.length - k;
        minSeq = Math.min(minSeq, s[k]);
      }
      trackVertices -= b.n - n;
      if (n === 0) {
        trackGroup.removeLayer(b.layer);
        if (open[b.cls] === b) open[b.cls] = null;
        return false;
      }
      b.parts = parts;
      b.seqs = seqs;
      b.n = n;
      b.minSeq = minSeq;
      b.dirty = true;
      return true;
    });
    if (last && last.seq < firstSeq) last = null;
  }

  function updateTail() {
    // From the last drawn vertex through the newest kept position, which is not always drawn.
    const seqs = [];
    const lls = [];
    const stop = base + end;
    if (last && last.seq < stop - 1) {
      seqs.push(last.seq);
      lls.push(last.ll);
      for (let seq = last.seq + 1; seq < stop; ++seq) {
        seqs.push(seq);
        lls.push(L.latLng(lat[seq - base], lon[seq - base]));
      }
    }
    const same = seqs.length === tailSeqs.length &&
                 (seqs.length === 0 || seqs[seqs.length - 1] === tailSeqs[tailSeqs.length - 1]);
    if (same) return;
    tailSeqs = seqs;
    tailLine.setStyle({ color: colours[end > head ? cls[end - 1] : 0] });
    tailLine.setLatLngs(lls);
  }

  // ---- follow ----
  let following = true;
  const FollowControl = L.Control.extend({
    options: { position: 'topleft' },
    onAdd: function () {
      const box = L.DomUtil.create('div', 'leaflet-bar skarnet-follow');
      const button = L.DomUtil.create('a', 'leaflet-bar-part', box);
      button.href = '#';
      button.setAttribute('role', 'button');
      button.title = '현재 위치 따라가기 (켜기/끄기)';
      button.textContent = '따라가기';
      L.DomEvent.disableClickPropagation(box);
      L.DomEvent.on(button, 'click', (e) => { L.DomEvent.preventDefault(e); setFollow(!following); });
      this.box = box;
      return box;
    },
  });
  const followControl = new FollowControl().addTo(map);

  function setFollow(on) {
    following = !!on;
    if (following) L.DomUtil.addClass(followControl.box, 'skarnet-on');
    else L.DomUtil.removeClass(followControl.box, 'skarnet-on');
    if (following) followCurrent();
  }
  map.on('dragstart', () => setFollow(false));

  function followCurrent() {
    if (!following || !current) return;
    // panBy rather than setView: a jump of more than a screen (a fast replay) would otherwise
    // reset the view and project every drawn vertex again.
    const offset = map.latLngToContainerPoint([current.lat, current.lon])
      .subtract(map.getSize().divideBy(2)).round();
    if (offset.x || offset.y) map.panBy(offset, { animate: false });
  }

  // ---- distance panel ----
  function lengthText(metres) {
    return metres < 1000 ? metres.toFixed(1) + ' m' : (metres / 1000).toFixed(3) + ' km';
  }

  function straightDistance() {
    return start && current ? distance(start.lat, start.lon, current.lat, current.lon) : 0;
  }

  const DistanceControl = L.Control.extend({
    options: { position: 'bottomleft' },
    onAdd: function () {
      const box = L.DomUtil.create('div', 'skarnet-distance');
      const close = L.DomUtil.create('a', 'skarnet-close', box);
      close.href = '#';
      close.title = '닫기';
      close.textContent = '\u00d7';
      L.DomEvent.disableClickPropagation(box);
      L.DomEvent.on(close, 'click', (e) => { L.DomEvent.preventDefault(e); hideDistance(); });
      const row = (label) => {
        const line = L.DomUtil.create('div', '', box);
        L.DomUtil.create('span', 'skarnet-label', line).textContent = label;
        return L.DomUtil.create('span', 'skarnet-value', line);
      };
      this.track = row('이동거리');
      this.straight = row('시작점부터 거리');
      return box;
    },
  });
  const distanceControl = new DistanceControl();
  let distanceShown = false;

  function refreshDistance() {
    if (!distanceShown) return;
    distanceControl.track.textContent = lengthText(trackLength);
    distanceControl.straight.textContent = lengthText(straightDistance());
    if (start && current) {
      startMarker.setLatLng([start.lat, start.lon]).addTo(map);
      straightLine.setLatLngs([[start.lat, start.lon], [current.lat, current.lon]]).addTo(map);
    } else {
      map.removeLayer(startMarker);
      map.removeLayer(straightLine);
    }
  }

  function hideDistance() {
    distanceShown = false;
    distanceControl.remove();
    map.removeLayer(startMarker);
    map.removeLayer(straightLine);
  }

  // ---- the program's calls ----
  let lastUpdateMs = 0;

  function pushPos(latText, lonText, limitText, fixClass) {
    const la = parseFloat(latText);
    const lo = parseFloat(lonText);
    if (!isFinite(la) || !isFinite(lo) || Math.abs(la) > 90 || Math.abs(lo) > 180) return false;
    let limit = parseInt(limitText, 10);
    if (isNaN(limit)) limit = 0;
    let c = Number(fixClass) | 0;
    if (c < 0 || c >= CLASS_COUNT) c = 0;
    if (!current) current = { lat: la, lon: lo, cls: c };
    current.lat = la;
    current.lon = lo;
    current.cls = c;
    if (!start) start = { lat: la, lon: lo };
    if (limit < 0) return true;  // "no update": the marker moves, the track does not
    makeRoom();
    lat[end] = la;
    lon[end] = lo;
    cls[end] = c;
    ++end;
    if (end - head > 1) trackLength += stepLength(end - 1);
    if (limit > 0 && end - head > limit) {
      const drop = end - head - limit;
      if (drop > limit) {
        head = end - limit;
        trackLength = 0;
        for (let s = head + 1; s < end; ++s) trackLength += stepLength(s);
      } else {
        for (let k = 0; k < drop; ++k) trackLength -= stepLength(++head);
      }
    }
    return true;
  }

  function update() {
    const t0 = performance.now();
    const first = base + head;
    if (buckets.length && buckets.some((b) => b.minSeq < first)) trimDrawn(first);
    if (fedTo < first) fedTo = first;
    feed(fedTo);
    while (trackVertices > DRAW_CAP) {
      if (forceRuns && runVertices > DRAW_CAP / 2) forceRuns = false;
      else stride *= 2;
      rebuild();
    }
    for (const b of buckets) {
      if (!b.dirty) continue;
      b.layer.setLatLngs(b.parts);
      b.dirty = false;
    }
    updateTail();
    if (current) {
      const wasShown = map.hasLayer(marker);
      marker.setLatLng([current.lat, current.lon]);
      marker.setStyle({ fillColor: colours[current.cls] });
      if (!wasShown) {
        marker.addTo(map);
        if (following) map.setView([current.lat, current.lon], Math.max(map.getZoom(), START_ZOOM), { animate: false });
      }
      followCurrent();
    } else {
      map.removeLayer(marker);
    }
    refreshDistance();
    lastUpdateMs = performance.now() - t0;
  }

  // clear(true) forgets everything. clear(false) starts a new run: the track, its length
  // and the start point go, the marker stays at the current position and the next position
  // becomes the new start.
  function clear(all) {
    resetStore();
    resetDrawing();
    stride = 1;
    forceRuns = true;
    trackLength = 0;
    start = null;
    if (all) {
      current = null;
      setFollow(true);
    }
    update();
  }

  function showDistance() {
    if (!distanceShown) {
      distanceShown = true;
      distanceControl.addTo(map);
    }
    refreshDistance();
  }

  function setClassColours(list) {
    if (!Array.isArray(list)) return;
    for (let c = 0; c < CLASS_COUNT && c < list.length; ++c)
      if (typeof list[c] === 'string' && list[c]) colours[c] = list[c];
    buckets.forEach((b) => b.layer.setStyle({ color: colours[b.cls] }));
    tailLine.setStyle({ color: colours[end > head ? cls[end - 1] : 0] });
    if (current) marker.setStyle({ fillColor: colours[current.cls] });
  }

  // ---- state for tests and benchmarks ----
  const fixed = (v) => v.toFixed(9);
  const describe = (la, lo, c) => fixed(la) + ',' + fixed(lo) + ',' + c;

  window.skarnet = {
    map: map,
    pointCount: () => end - head,
    // vertices in the drawn polylines (a joint between parts counts twice)
    drawnCount: () => trackVertices + tailSeqs.length,
    // distinct positions drawn
    drawnPositions: () => {
      const seen = new Set(tailSeqs);
      buckets.forEach((b) => b.seqs.forEach((s) => s.forEach((q) => seen.add(q))));
      return seen.size;
    },
    polylineCount: () => buckets.length,
    // kept index of the oldest drawn vertex (-1 when nothing is drawn)
    oldestDrawn: () => {
      let oldest = Infinity;
      buckets.forEach((b) => { oldest = Math.min(oldest, b.minSeq); });
      if (tailSeqs.length) oldest = Math.min(oldest, tailSeqs[0]);
      return oldest === Infinity ? -1 : oldest - (base + head);
    },
    // the newest drawn vertex, as "lat,lon,class"
    lastDrawn: () => {
      const seq = tailSeqs.length ? tailSeqs[tailSeqs.length - 1] : (last ? last.seq : -1);
      return seq < 0 ? '' : describe(lat[seq - base], lon[seq - base], cls[seq - base]);
    },
    // colours (classes) the kept position i is drawn with; '' when decimated away
    drawnClassesAt: (i) => {
      const seq = base + head + i;
      const found = new Set();
      buckets.forEach((b) => { if (b.seqs.some((s) => s.includes(seq))) found.add(b.cls); });
      if (tailSeqs.includes(seq)) found.add(cls[seq - base]);
      return Array.from(found).sort().join();
    },
    stride: () => stride,
    position: (i) => (i >= 0 && i < end - head
      ? describe(lat[head + i], lon[head + i], cls[head + i]) : ''),
    current: () => (current ? describe(current.lat, current.lon, current.cls) : ''),
    trackLength: () => trackLength,
    straightDistance: straightDistance,
    distanceShown: () => distanceShown,
    distanceText: () => (distanceShown ? distanceControl.getContainer().textContent : ''),
    following: () => following,
    setFollow: setFollow,
    tileUrl: () => (tileLayer ? tileLayer._url : ''),
    attribution: () => map.attributionControl.getContainer().textContent,
    tilesLoaded: () => tilesLoaded,
    tilesFailed: () => tilesFailed,
    classColours: () => colours.slice(),
    lastUpdateMs: () => lastUpdateMs,
    storeBytes: () => lat.byteLength + lon.byteLength + cls.byteLength,
    heapBytes: () => (performance.memory ? performance.memory.usedJSHeapSize : -1),
  };

  window.pushPos = pushPos;
  window.update = update;
  window.clear = clear;
  window.showDistance = showDistance;
  window.setClassColours = setClassColours;
  window.setTileSource = setTileSource;

  resetStore();
  stride = 1;
  forceRuns = true;
  resetDrawing();
  setFollow(true);
})();
